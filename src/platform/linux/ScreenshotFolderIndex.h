#pragma once

#include "core/Cancellable.h"
#include "core/MainLoop.h"
#include "core/Published.h"
#include "platform/ScreenCaptureIndex.h"

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QHash>
#include <QObject>
#include <QSet>

#include <vector>

namespace korvo {

/// Screen captures as the desktop's screenshot tools leave them: new image files in the folders
/// those tools write to. Listing and checking files happens off the main thread; a file is
/// reported once it is completely written. A folder that does not exist yet is picked up when
/// it appears. Main-thread object.
class ScreenshotFolderIndex final : public QObject, public ScreenCaptureIndex {
    Q_OBJECT
public:
    struct Folder {
        QString path;
        // A folder that holds nothing but screenshots: every new image counts. Elsewhere only
        // names the screenshot tools give count.
        bool anyImage = false;
    };

    /// Only folders inside `home` are watched.
    ScreenshotFolderIndex(MainLoop& loop, QString home, std::vector<Folder> folders,
                          QObject* parent = nullptr);
    ~ScreenshotFolderIndex() override;

    Subscription watch(std::function<void(const QStringList& added)> added) override;

    /// Home and the XDG Pictures folder (screenshot names only), Pictures/Screenshots and the
    /// save folders configured in the common screenshot tools (every image).
    static std::vector<Folder> standardFolders(const QString& home, const QString& configHome);
    /// The same for the current user.
    static std::vector<Folder> standardFolders();
    /// XDG_PICTURES_DIR from `configHome`/user-dirs.dirs, else `home`/Pictures.
    static QString picturesFolder(const QString& home, const QString& configHome);
    /// Save folders set in the screenshot tools' own configuration files.
    static QStringList toolFolders(const QString& home, const QString& configHome);
    /// A name a screenshot tool gives ("Screenshot from …", "Screenshot_…", …) on an image.
    static bool isScreenshotName(const QString& fileName);
    static bool isImageName(const QString& fileName);

    /// Time between two looks at a file that is still being written.
    static constexpr double kSettleInterval = 0.25;
    /// Looks before a file that never completes is given up.
    static constexpr int kMaxSettleChecks = 120;

private:
    struct Watched {
        Folder folder;
        bool watching = false;
        bool scanning = false;
        bool rescan = false;
        QSet<QString> known;  // file names already seen, announced or not
    };
    struct Pending {
        qint64 size = -1;
        QDateTime modified;
        int checks = 0;
    };
    struct Look {
        QString path;
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        int trailer = 0;  // 1 complete, -1 incomplete, 0 not a format we can tell
    };

    void begin();
    void arm(std::size_t index, bool atStart);
    void directoryChanged(const QString& path);
    void scan(std::size_t index, bool silent);
    void scanned(std::size_t index, const QStringList& names, bool silent);
    void scheduleSettleCheck();
    void settled(const std::vector<Look>& looks);
    static Look look(const QString& path);

    MainLoop& m_loop;
    QString m_home;
    std::vector<Watched> m_folders;
    QFileSystemWatcher m_watcher;
    QHash<QString, Pending> m_pending;  // by path
    TaskHandle m_settleTimer;
    bool m_checking = false;
    bool m_begun = false;
    Signal<QStringList> m_added;
    LifeToken m_life;
};

}  // namespace korvo

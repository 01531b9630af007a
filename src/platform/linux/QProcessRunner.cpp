#include "QProcessRunner.h"

#include <QDeadlineTimer>
#include <QProcess>

#include <algorithm>
#include <cmath>

namespace korvo {

std::optional<QByteArray> QProcessRunner::run(const QString& program, const QStringList& arguments,
                                              double timeout) {
    QDeadlineTimer deadline(static_cast<qint64>(std::max(0.0, timeout) * 1000.0));
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    // Never read, so it must not fill a pipe and stall the program.
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QIODevice::ReadOnly);
    // waitForFinished keeps draining standard output while it waits.
    if (!process.waitForStarted(static_cast<int>(deadline.remainingTime())) ||
        !process.waitForFinished(static_cast<int>(deadline.remainingTime()))) {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(1000);
        }
        return std::nullopt;
    }
    return process.readAllStandardOutput();
}

}  // namespace korvo

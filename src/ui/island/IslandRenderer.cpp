#include "IslandRenderer.h"

#include "ui/kit/Painter.h"

namespace korvo {

QImage renderPanel(IslandRootView& view, ui::Animator& animator, double scale) {
    animator.beginFrame();
    ui::View root = view.build();
    animator.endFrame();
    return ui::renderToImage(*root.node(), {kPanelWidth, kPanelHeight}, scale);
}

}  // namespace korvo

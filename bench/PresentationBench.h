#pragma once

namespace korvo {

/// One frame benchmark per presentation and card, registered at start-up.
void registerPresentationBenchmarks();

}  // namespace korvo

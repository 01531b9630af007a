#pragma once

// The generated layer-shell header names a request argument "namespace", which C++ reserves.
#include <wayland-client.h>
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

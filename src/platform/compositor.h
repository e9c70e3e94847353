#pragma once

namespace tallyra {

// Whether the window system blends windows (so per-window opacity and transparent
// backgrounds show as such). False when it cannot tell.
bool HasCompositor();

}  // namespace tallyra

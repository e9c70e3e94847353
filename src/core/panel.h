#pragma once

namespace tallyra {

// The six panels, numbered as their buttons.
enum class Panel {
    Settings = 0,
    Structure = 1,
    Database = 2,
    Statistics = 3,
    SignIn = 4,
    Personal = 5,
};
constexpr int kPanelCount = 6;

// Card input is acted on only on the sign-in board and in the personal centre.
constexpr bool TakesCards(Panel p) { return p == Panel::SignIn || p == Panel::Personal; }

}  // namespace tallyra

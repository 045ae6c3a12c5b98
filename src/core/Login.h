#pragma once
// Choosing the profile to log in with: the command line, the global log-in switches, the chooser list
// and the password check. Plain logic; the dialogs only show what is decided here.
#include <optional>
#include <string>
#include <vector>

namespace pelmar {

// The global log-in switches as they are stored.
struct TLoginSwitches {
    bool UseLogin = false;
    bool AllowDefault = true;
    bool UseDialog = true;
};

// "-noavi" anywhere on the command line switches the main window's animation off.
bool HasNoAnimationSwitch(const std::vector<std::string>& params);

// The profile named by a "-L<name>" first parameter, kept only when it is a known profile (compared
// case-insensitively) or exactly "Default" while the default profile is allowed; empty otherwise.
// The caller asks only when log-in is on.
std::string LoginParameterUser(const std::vector<std::string>& params, bool allowDefault,
                               const std::vector<std::string>& userList);

// The list the log-in chooser shows.
struct TLoginChoice {
    std::vector<std::string> Items;
    int Selected = -1;  // preselected item, -1 for none
};

// "<По умолчанию>" (CP1251) first when the default profile is allowed, then every profile.
TLoginChoice BuildLoginChoice(bool allowDefault, const std::vector<std::string>& userList);

// The profile picked in the chooser: "Default" for the first item while the default profile is
// allowed, else the item's text; empty for a cancelled dialog or an index outside the list.
std::string LoginChoiceUser(const TLoginChoice& choice, bool allowDefault, std::optional<int> picked);

enum class TLoginAction {
    RootProfile,   // log-in is off: the root profile, no questions
    NamedProfile,  // a valid "-L" parameter named the profile
    ShowChooser,   // ask the user with the chooser
    Fail,          // nothing usable: end without creating or saving anything
};

struct TLoginDecision {
    TLoginAction Action = TLoginAction::Fail;
    std::string User;     // for NamedProfile
    TLoginChoice Choice;  // for ShowChooser
};

TLoginDecision DecideLogin(const std::vector<std::string>& params, const TLoginSwitches& switches,
                           const std::vector<std::string>& userList);

// The password question allows two attempts per start.
class TPasswordCheck {
public:
    enum class TVerdict {
        Accepted,  // typed text equals the stored password
        Retry,     // first wrong attempt: tell the user and ask again
        Rejected,  // second wrong attempt: the log-in is cancelled
    };

    explicit TPasswordCheck(std::string stored) : stored_(std::move(stored)) {}

    // Byte-for-byte comparison; the password is kept exactly as the user typed it.
    TVerdict Check(const std::string& typed);
    int Attempts() const { return attempts_; }

    static constexpr int kMaxAttempts = 2;

private:
    std::string stored_;
    int attempts_ = 0;
};

}  // namespace pelmar

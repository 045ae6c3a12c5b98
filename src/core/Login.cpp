#include "core/Login.h"

#include <algorithm>

#include "core/Codepage.h"
#include "core/Settings.h"

namespace pelmar {

namespace {

const std::string& DefaultItemText() {
    static const std::string text = Utf8ToAnsi("<По умолчанию>");
    return text;
}

bool IsKnownUser(const std::string& name, const std::vector<std::string>& userList) {
    return std::any_of(userList.begin(), userList.end(),
                       [&](const std::string& user) { return AnsiSameText(user, name); });
}

}  // namespace

bool HasNoAnimationSwitch(const std::vector<std::string>& params) {
    return std::find(params.begin(), params.end(), "-noavi") != params.end();
}

std::string LoginParameterUser(const std::vector<std::string>& params, bool allowDefault,
                               const std::vector<std::string>& userList) {
    if (params.empty() || params.front().rfind("-L", 0) != 0) return {};
    std::string candidate = params.front().substr(2);
    if (candidate.empty()) return {};
    if (IsKnownUser(candidate, userList)) return candidate;
    if (allowDefault && candidate == DefaultUserName) return candidate;
    return {};
}

TLoginChoice BuildLoginChoice(bool allowDefault, const std::vector<std::string>& userList) {
    TLoginChoice choice;
    if (allowDefault) choice.Items.push_back(DefaultItemText());
    choice.Items.insert(choice.Items.end(), userList.begin(), userList.end());
    choice.Selected = choice.Items.empty() ? -1 : 0;
    return choice;
}

std::string LoginChoiceUser(const TLoginChoice& choice, bool allowDefault, std::optional<int> picked) {
    if (!picked || *picked < 0 || *picked >= static_cast<int>(choice.Items.size())) return {};
    if (allowDefault && *picked == 0) return DefaultUserName;
    return choice.Items[static_cast<size_t>(*picked)];
}

TLoginDecision DecideLogin(const std::vector<std::string>& params, const TLoginSwitches& switches,
                           const std::vector<std::string>& userList) {
    TLoginDecision decision;
    if (!switches.UseLogin) {
        decision.Action = TLoginAction::RootProfile;
        return decision;
    }
    decision.User = LoginParameterUser(params, switches.AllowDefault, userList);
    if (!decision.User.empty()) {
        decision.Action = TLoginAction::NamedProfile;
        return decision;
    }
    if (!switches.UseDialog) {
        decision.Action = TLoginAction::Fail;
        return decision;
    }
    decision.Action = TLoginAction::ShowChooser;
    decision.Choice = BuildLoginChoice(switches.AllowDefault, userList);
    return decision;
}

TPasswordCheck::TVerdict TPasswordCheck::Check(const std::string& typed) {
    if (attempts_ >= kMaxAttempts) return TVerdict::Rejected;
    ++attempts_;
    if (typed == stored_) return TVerdict::Accepted;
    return attempts_ >= kMaxAttempts ? TVerdict::Rejected : TVerdict::Retry;
}

}  // namespace pelmar

// Choosing the profile at log-in: command line, switches, chooser list and the password attempts.
#include <gtest/gtest.h>

#include "core/Codepage.h"
#include "core/Login.h"

namespace pelmar {
namespace {

using Params = std::vector<std::string>;

const std::vector<std::string> kUsers{"Ivan", Utf8ToAnsi("Пётр"), "Zoe"};

TEST(LoginParameter, OnlyACapitalLInFirstPositionNamesAProfile) {
    EXPECT_EQ(LoginParameterUser({"-LIvan"}, true, kUsers), "Ivan");
    EXPECT_EQ(LoginParameterUser({"-livan"}, true, kUsers), "");
    EXPECT_EQ(LoginParameterUser({"-noavi", "-LIvan"}, true, kUsers), "");
    EXPECT_EQ(LoginParameterUser({"-L"}, true, kUsers), "");
    EXPECT_EQ(LoginParameterUser({}, true, kUsers), "");
    EXPECT_EQ(LoginParameterUser({"-LNobody"}, true, kUsers), "");
}

TEST(LoginParameter, ProfileNamesMatchInAnyLetterCaseIncludingCyrillic) {
    EXPECT_EQ(LoginParameterUser({"-Livan"}, false, kUsers), "ivan");
    EXPECT_EQ(LoginParameterUser({"-LZOE"}, false, kUsers), "ZOE");
    const std::string lowerPetr = Utf8ToAnsi("пётр");
    EXPECT_EQ(LoginParameterUser({"-L" + lowerPetr}, false, kUsers), lowerPetr);
}

TEST(LoginParameter, DefaultProfileOnlyWhenAllowedAndSpelledExactly) {
    EXPECT_EQ(LoginParameterUser({"-LDefault"}, true, kUsers), "Default");
    EXPECT_EQ(LoginParameterUser({"-LDefault"}, false, kUsers), "");
    EXPECT_EQ(LoginParameterUser({"-Ldefault"}, true, kUsers), "");
    // A profile that happens to be called "default" is an ordinary profile.
    EXPECT_EQ(LoginParameterUser({"-Ldefault"}, false, {"DEFAULT"}), "default");
}

TEST(NoAnimationSwitch, AnyPositionButCaseSensitive) {
    EXPECT_TRUE(HasNoAnimationSwitch({"-LIvan", "-noavi"}));
    EXPECT_TRUE(HasNoAnimationSwitch({"-noavi"}));
    EXPECT_FALSE(HasNoAnimationSwitch({"-NOAVI"}));
    EXPECT_FALSE(HasNoAnimationSwitch({"-noavi2"}));
    EXPECT_FALSE(HasNoAnimationSwitch({}));
}

TEST(LoginChoice, DefaultItemLeadsWhenAllowedAndFirstItemIsPreselected) {
    const TLoginChoice withDefault = BuildLoginChoice(true, kUsers);
    ASSERT_EQ(withDefault.Items.size(), 4u);
    EXPECT_EQ(withDefault.Items[0], Utf8ToAnsi("<По умолчанию>"));
    EXPECT_EQ(withDefault.Items[1], "Ivan");
    EXPECT_EQ(withDefault.Selected, 0);

    const TLoginChoice usersOnly = BuildLoginChoice(false, kUsers);
    EXPECT_EQ(usersOnly.Items, kUsers);
    EXPECT_EQ(usersOnly.Selected, 0);

    const TLoginChoice nothing = BuildLoginChoice(false, {});
    EXPECT_TRUE(nothing.Items.empty());
    EXPECT_EQ(nothing.Selected, -1);
}

TEST(LoginChoice, PickedItemBecomesTheProfile) {
    const TLoginChoice withDefault = BuildLoginChoice(true, kUsers);
    EXPECT_EQ(LoginChoiceUser(withDefault, true, 0), "Default");
    EXPECT_EQ(LoginChoiceUser(withDefault, true, 2), Utf8ToAnsi("Пётр"));
    EXPECT_EQ(LoginChoiceUser(withDefault, true, std::nullopt), "");
    EXPECT_EQ(LoginChoiceUser(withDefault, true, -1), "");
    EXPECT_EQ(LoginChoiceUser(withDefault, true, 4), "");

    const TLoginChoice usersOnly = BuildLoginChoice(false, kUsers);
    EXPECT_EQ(LoginChoiceUser(usersOnly, false, 0), "Ivan");
}

struct TDecisionRow {
    const char* Name;
    TLoginSwitches Switches;
    Params Arguments;
    TLoginAction Action;
    std::string User;
};

class LoginDecision : public testing::TestWithParam<TDecisionRow> {};

TEST_P(LoginDecision, FollowsSwitchesAndParameters) {
    const TDecisionRow& row = GetParam();
    const TLoginDecision decision = DecideLogin(row.Arguments, row.Switches, kUsers);
    EXPECT_EQ(decision.Action, row.Action);
    EXPECT_EQ(decision.User, row.User);
    if (decision.Action == TLoginAction::ShowChooser) {
        EXPECT_EQ(decision.Choice.Items.size(), kUsers.size() + (row.Switches.AllowDefault ? 1 : 0));
    } else {
        EXPECT_TRUE(decision.Choice.Items.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LoginDecision,
    testing::Values(
        TDecisionRow{
            "LoginOffIgnoresParameter", {false, true, true}, {"-LIvan"}, TLoginAction::RootProfile, ""},
        TDecisionRow{"ValidParameter", {true, true, true}, {"-LIvan"}, TLoginAction::NamedProfile, "Ivan"},
        TDecisionRow{
            "ValidParameterWithoutDialog", {true, true, false}, {"-Lzoe"}, TLoginAction::NamedProfile, "zoe"},
        TDecisionRow{"NoParameterAsksUser", {true, true, true}, {}, TLoginAction::ShowChooser, ""},
        TDecisionRow{"NoParameterNoDialogFails", {true, true, false}, {}, TLoginAction::Fail, ""},
        TDecisionRow{"UnknownUserAsks", {true, false, true}, {"-LNobody"}, TLoginAction::ShowChooser, ""},
        TDecisionRow{
            "DefaultNotAllowedAsks", {true, false, true}, {"-LDefault"}, TLoginAction::ShowChooser, ""},
        TDecisionRow{
            "DefaultNotAllowedNoDialogFails", {true, false, false}, {"-LDefault"}, TLoginAction::Fail, ""},
        TDecisionRow{
            "DefaultAllowed", {true, true, false}, {"-LDefault"}, TLoginAction::NamedProfile, "Default"},
        TDecisionRow{"ParameterInSecondPlaceIgnored",
                     {true, true, false},
                     {"-noavi", "-LIvan"},
                     TLoginAction::Fail,
                     ""}),
    [](const testing::TestParamInfo<TDecisionRow>& info) { return std::string(info.param.Name); });

TEST(PasswordCheck, TwoAttemptsThenRejected) {
    TPasswordCheck check("Secret");
    EXPECT_EQ(check.Check("secret"), TPasswordCheck::TVerdict::Retry);
    EXPECT_EQ(check.Check("SECRET"), TPasswordCheck::TVerdict::Rejected);
    // Once rejected, even the right password no longer opens the profile.
    EXPECT_EQ(check.Check("Secret"), TPasswordCheck::TVerdict::Rejected);
    EXPECT_EQ(check.Attempts(), 2);
}

TEST(PasswordCheck, RightOnFirstOrSecondAttempt) {
    TPasswordCheck first("Secret");
    EXPECT_EQ(first.Check("Secret"), TPasswordCheck::TVerdict::Accepted);

    TPasswordCheck second(Utf8ToAnsi("пароль"));
    EXPECT_EQ(second.Check(Utf8ToAnsi("ПАРОЛЬ")), TPasswordCheck::TVerdict::Retry);
    EXPECT_EQ(second.Check(Utf8ToAnsi("пароль")), TPasswordCheck::TVerdict::Accepted);
}

TEST(PasswordCheck, ComparesEveryByte) {
    EXPECT_EQ(TPasswordCheck("").Check(""), TPasswordCheck::TVerdict::Accepted);
    EXPECT_EQ(TPasswordCheck("").Check(" "), TPasswordCheck::TVerdict::Retry);
    EXPECT_EQ(TPasswordCheck("abc").Check("abc "), TPasswordCheck::TVerdict::Retry);
    EXPECT_EQ(TPasswordCheck(std::string("a\0b", 3)).Check("a"), TPasswordCheck::TVerdict::Retry);
}

}  // namespace
}  // namespace pelmar

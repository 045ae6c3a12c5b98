#include "support/Letters.h"

#include <gtest/gtest.h>

#include "msgbase/BaseFactory.h"
#include "msgbase/MessageBase.h"

namespace pelmar::test {

void AppendLetters(int kind, const std::string& path, const std::vector<TLetter>& letters, bool create) {
    auto base = CreateMessageBase(kind);
    base->SetPath(path);
    if (create) base->CreateBase();
    base->Open();
    ASSERT_TRUE(base->Active) << path;
    base->UseFlagFiles = false;
    for (const TLetter& letter : letters) {
        base->NewMessage();
        base->FromName = letter.From;
        base->ToName = letter.To;
        base->Subject = letter.Subject;
        base->OrigAddr = "2:5020/1";
        base->Date = EncodeDateTime(2026, 3, 4, 5, 6, 7);
        base->Attr = AttrLocal;
        if (!letter.MsgId.empty()) base->Kludges = {"MSGID: " + letter.MsgId};
        base->Text = "Text\r";
        ASSERT_TRUE(base->WriteMessage()) << path;
    }
    base->Close();
}

}  // namespace pelmar::test

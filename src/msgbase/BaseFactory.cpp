#include "msgbase/BaseFactory.h"

#include "msgbase/FidoBase.h"
#include "msgbase/Hudson.h"
#include "msgbase/Jam.h"
#include "msgbase/Squish.h"

namespace pelmar {

std::unique_ptr<TMessageBase> CreateMessageBase(int kind) {
    switch (kind) {
        case BaseKindMsg: return std::make_unique<TFidoBase>();
        case BaseKindJam: return std::make_unique<TJAM>();
        case BaseKindHudson: return std::make_unique<THudson>();
        case BaseKindSquish: return std::make_unique<TSquish>();
        default:
            return nullptr;
    }
}

}  // namespace pelmar

#include "msgbase/BaseFactory.h"

#include "msgbase/FidoBase.h"

namespace pelmar {

std::unique_ptr<TMessageBase> CreateMessageBase(int kind) {
    switch (kind) {
        case BaseKindMsg:
            return std::make_unique<TFidoBase>();
        default:
            return nullptr;
    }
}

}  // namespace pelmar

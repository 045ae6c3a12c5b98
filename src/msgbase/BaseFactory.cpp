#include "msgbase/BaseFactory.h"

#include "msgbase/Jam.h"

namespace pelmar {

std::unique_ptr<TMessageBase> CreateMessageBase(int kind) {
    switch (kind) {
        case BaseKindJam: return std::make_unique<TJAM>();
        default:
            return nullptr;
    }
}

}  // namespace pelmar

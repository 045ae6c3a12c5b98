#include "msgbase/BaseFactory.h"

namespace pelmar {

std::unique_ptr<TMessageBase> CreateMessageBase(int kind) {
    switch (kind) {
        default:
            return nullptr;
    }
}

}  // namespace pelmar

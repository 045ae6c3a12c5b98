#pragma once
// Chooses the storage format of an area's base kind.
#include <memory>

#include "msgbase/MessageBase.h"

namespace pelmar {

// Base kinds as areas store them.
inline constexpr int BaseKindMsg = 1;
inline constexpr int BaseKindJam = 2;
inline constexpr int BaseKindHudson = 3;
inline constexpr int BaseKindSquish = 4;

// A new closed base of the kind (1 *.MSG, 2 JAM, 3 Hudson, 4 Squish); null for any other kind.
std::unique_ptr<TMessageBase> CreateMessageBase(int kind);

}  // namespace pelmar

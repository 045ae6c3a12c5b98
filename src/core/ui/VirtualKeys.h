#pragma once
// Qt keys as the key codes and shift states the auto-type table stores (the Windows virtual-key
// codes it was made with), for the table's editor and for the message editor that looks keys up.
#include <Qt>
#include <cstdint>

namespace pelmar::ui {

// 0 for keys the table cannot hold.
uint16_t VirtualKeyOf(int qtKey);
uint8_t ShiftStateOf(Qt::KeyboardModifiers modifiers);

}  // namespace pelmar::ui

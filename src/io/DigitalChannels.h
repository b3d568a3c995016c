// What the Digital In and Digital Out pages do with their channels: how many
// bits a channel shows, the four-row window over the channel list, and the
// reads and writes of a channel's value.
#pragma once

#include <cstdint>

#include "io/ChanInfo.h"

struct ModuleRec;

// Channels shown at once, one bit row each.
constexpr int DIGITAL_ROWS = 4;

// Bits a channel of this configuration code shows: configuration + 1 for a
// Digital I/O code, 0 for any other code (the row keeps its 0 visible bits).
int DigitalChannels_BitsOfCode(int code);

// The scroll bar actions of the channel window.
enum class DigitalScroll { LineUp, LineDown, PageUp, PageDown, Thumb };
// The first channel shown after an action: one or four channels up or down,
// or the thumb position, limited to 0..count-4 (0 with four channels or fewer).
int DigitalChannels_Scroll(int first, DigitalScroll action, int thumb, int count);
// The scroll bar: shown with range 0..count-4 when there are more than four channels.
bool DigitalChannels_NeedsScrollBar(int count);
int DigitalChannels_ScrollMax(int count);

// Reads a channel's value object and decodes it (no alignment), truncated to
// an integer. 1 with value set, 0 when the read failed (reported).
int DigitalChannels_Read(const ModuleRec& module, const ChanInfo& info, int channel,
                         uint32_t& value);
// Limits value to the raw range of the channel's code, encodes it with the
// channel's alignment flag and sends the object write (no answer).
// 0 ok, -1 failed (reported) or no such channel.
int DigitalChannels_Write(const ModuleRec& module, const ChanInfo& info, int channel,
                          uint32_t value);

// The order of a stack's rows. The player reads rows by index, so any order
// plays the same once the row lists are renumbered to match; only what reads
// the stack as a whole (a compressor, the memory system) sees the order.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// new_index[old] for an order given as order[place] = old index.
std::vector<int32_t> NewIndices(const std::vector<int32_t>& order);

// Rewrites the row lists of the flow text (the line after a frame line or an
// "InactiveFrame" line) in place: every code stays four characters, so no
// offset moves. False, with the flow untouched, when a row list holds a
// character outside the code or names a row at or past new_index.size(), or
// a line is too long for the player to read whole (kLineSize).
bool RenumberRowLists(char* flow, size_t size, const std::vector<int32_t>& new_index);

// Moves the rows of a stack into an order, in place: row order[place] ends
// at place.
void PermuteRows(uint8_t* stack, size_t row_bytes, const std::vector<int32_t>& order);

// Puts the rows in the order the row lists first name them, top to bottom,
// frame after frame, and renumbers the lists to match. A jump to another
// frame then reads its rows in long runs instead of one by one from all over
// the stack, as a stack sorted for compression has them. False, with both
// untouched, when the lists cannot be renumbered (see RenumberRowLists), the
// stack is not whole rows, or it reaches past the 2 GB the player reads.
bool PutRowsInPlayOrder(char* flow, size_t flow_bytes, uint8_t* stack, int64_t stack_bytes,
                        int32_t stack_wid, int64_t first_stack_byte);

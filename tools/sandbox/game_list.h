// The game's side of the list the plug-in watches: an object whose address
// sits in a slot at a fixed offset inside the game's executable image.
#pragma once

#include <string>
#include <vector>

namespace sandbox {

enum class ListState {
    Absent,        // the slot holds null
    Empty,         // the object is there with no entries
    Present,       // five entries, only the last one non-null
    Cleared,       // five entries, all null
    NullEntries,   // a count of five but no array
    FreedEntries,  // a count of five, the array's memory already released
    // Five entries, the last non-null, but on a page that carries PAGE_GUARD
    // (another thread's stack, a debugger's watch): the array, or the object.
    GuardedEntries,
    GuardedObject,
};

struct ListChange {
    unsigned atMs;  // after the load entry returned
    ListState state;
};

// Points the slot at the game object. False when this executable's image does
// not reach the slot (the build lost its large zero-filled area).
bool InstallWatchedGameObject();
void SetListState(ListState state);
// The guarded page of the last Guarded* state set; null after any other.
void* GuardedListPage();

// "0:present,3000:cleared" -> changes in time order; false on a bad word.
bool ParseListScript(const std::wstring& script, std::vector<ListChange>& changes);
// Applies the changes on a thread of their own, each at its moment.
void PlayListScript(std::vector<ListChange> changes);

// A game thread at its worst: every millisecond for `durationMs` it moves the
// list to a new array, releases the old one's memory at once, and now and
// then clears or drops the list. Returns when done, leaving the list present.
void ChurnList(unsigned durationMs);

}  // namespace sandbox

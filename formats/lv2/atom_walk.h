// Reading the packed atom lists a host or a saved state hands over: the events of a
// sequence, the properties of an object, the items of a tuple. A record is visited only when
// its header and its whole body lie inside the bytes the container states, so a wrong size
// anywhere ends the walk instead of reading past the buffer.
#pragma once

#include <lv2/atom/atom.h>

#include <cstddef>
#include <cstdint>

namespace vorlak::lv2 {

inline const LV2_Atom& atomOf(const LV2_Atom_Event& event) { return event.body; }
inline const LV2_Atom& atomOf(const LV2_Atom_Property_Body& property) { return property.value; }
inline const LV2_Atom& atomOf(const LV2_Atom& atom) { return atom; }

// The bytes after a record's header: the body of its atom.
template <class Header>
const uint8_t* bodyOf(const Header& header) {
  return reinterpret_cast<const uint8_t*>(&header + 1);
}

// Calls visit(header) for each record of the list in data (bytes long, 8-byte aligned).
template <class Header, class Visit>
void forEachRecord(const void* data, size_t bytes, Visit visit) {
  if (!data) return;
  const auto* at = static_cast<const uint8_t*>(data);
  size_t offset = 0;
  while (bytes - offset >= sizeof(Header)) {
    const auto* header = reinterpret_cast<const Header*>(at + offset);
    const size_t body = atomOf(*header).size;
    if (body > bytes - offset - sizeof(Header)) return;
    visit(*header);
    const size_t step = (sizeof(Header) + body + 7) & ~size_t{7};
    if (step >= bytes - offset) return;
    offset += step;
  }
}

// The events of a sequence whose atom header and body lie in memory the host owns.
template <class Visit>
void forEachEvent(const LV2_Atom_Sequence& sequence, Visit visit) {
  if (sequence.atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  forEachRecord<LV2_Atom_Event>(&sequence.body + 1,
                                sequence.atom.size - sizeof(LV2_Atom_Sequence_Body), visit);
}

// The properties of an object atom's body (bytes long, the object header included).
template <class Visit>
void forEachProperty(const uint8_t* body, size_t bytes, Visit visit) {
  if (bytes < sizeof(LV2_Atom_Object_Body)) return;
  forEachRecord<LV2_Atom_Property_Body>(body + sizeof(LV2_Atom_Object_Body),
                                        bytes - sizeof(LV2_Atom_Object_Body), visit);
}

}  // namespace vorlak::lv2

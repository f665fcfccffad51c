// What a host hears from a knob dragged on the panel: one parameter's edit inside one pair of
// edit brackets. The X11 and Win32 panel suites drag with their window systems' own input.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "tools/vst_host.h"

namespace vorlak::paneltest {

// The calls about edits among all a host recorded.
inline std::vector<host::HostCall> editCalls(const std::vector<host::HostCall>& calls) {
  std::vector<host::HostCall> edits;
  for (const host::HostCall& c : calls)
    if (c.opcode == audioMasterBeginEdit || c.opcode == audioMasterEndEdit ||
        c.opcode == audioMasterAutomate)
      edits.push_back(c);
  return edits;
}

// Begin, at least one automation, end, all of parameter `index`; the last value sent is `last`.
inline void expectOneBracketedEdit(const std::vector<host::HostCall>& calls, int index,
                                   float last) {
  const std::vector<host::HostCall> edits = editCalls(calls);
  ASSERT_GE(edits.size(), 3u);
  EXPECT_EQ(edits.front().opcode, audioMasterBeginEdit);
  EXPECT_EQ(edits.front().index, index);
  EXPECT_EQ(edits.back().opcode, audioMasterEndEdit);
  EXPECT_EQ(edits.back().index, index);
  for (size_t i = 1; i + 1 < edits.size(); ++i) {
    EXPECT_EQ(edits[i].opcode, audioMasterAutomate);
    EXPECT_EQ(edits[i].index, index);
  }
  EXPECT_NEAR(edits[edits.size() - 2].opt, last, 1e-5f);
}

}  // namespace vorlak::paneltest

#pragma once
// Where the icon of a minimised window is drawn: centred in the client rectangle, with the
// division truncating towards zero (so a rectangle smaller than the icon gives negative
// positions). Platform-free.

namespace qm::app {

struct IconPosition {
  int x;
  int y;
};

constexpr IconPosition CenterIcon(int nLeft, int nTop, int nRight, int nBottom, int cxIcon,
                                  int cyIcon) {
  return {(nRight - nLeft - cxIcon + 1) / 2, (nBottom - nTop - cyIcon + 1) / 2};
}

}  // namespace qm::app

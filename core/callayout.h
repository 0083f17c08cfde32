// What the station and a WorldSID unit share about raw records and
// calibration files: where each detector's signal and ambient words sit in a
// raw record, the calibration file's name, and the three calibration layouts
// of the WorldSID heads (row and column breakpoints, the runs of tables per
// row, the head geometry, and the index of every table's offset in the
// calibration image). The raw conversion reads records and images through
// these, and the simulator writes its records and images with them.
#pragma once

#include "core/data.h"  // kCalImageFloats
#include "core/session.h"

#include <array>
#include <cstddef>
#include <string>

namespace lumvex {

constexpr int kCalRowsMax = 11;
constexpr int kCalColumnsMax = 33;

enum CalLayoutId : int { CalLayout50th = 0, CalLayout5th = 1, CalLayout5thLX2 = 2 };

// Planes in the order the image stores them.
enum CalPlane : int { PlaneC1 = 0, PlaneC2 = 1, PlaneA1 = 2, PlaneB1 = 3, PlaneA2 = 4, PlaneB2 = 5 };
constexpr int kCalPlanes = 6;

struct TableRun {
  int first;   // first column holding a table
  int last;    // last column holding a table
  int points;  // (ratio, slope) pairs per table of the row
};

// Viewpoints of detectors A and B (mm, head frame).
struct HeadGeometry {
  double YA, ZA, YB, ZB;
};

struct CalPlaneLayout {
  const double* bp;  // column breakpoints, ascending (mm)
  int columns;
  TableRun runs[kCalRowsMax];
};

struct CalLayout {
  int id;
  const char* name;
  int rows;
  const double* rowY;    // row breakpoints (mm)
  int floats;            // floats of the image this layout uses
  HeadGeometry head[2];  // [0] head 1, [1] head 2
  CalPlaneLayout plane[kCalPlanes];
  // Offset of the table of (plane, row, column) in floats, -1 for an empty cell.
  std::array<std::array<std::array<int, kCalColumnsMax>, kCalRowsMax>, kCalPlanes> offset;

  bool hasTable(int p, int row, int col) const { return offset[p][row][col] >= 0; }
  int points(int p, int row) const { return plane[p].runs[row].points; }
};

// The layout for a unit: WorldSID 5th (7) by generation, every other type the 50th.
int calLayoutFor(int dummyType, int isLX2);
// Built once per layout, on first use (thread-safe).
const CalLayout& calLayout(int id);

// Planes of a head (head 1 or 2) for detectors A, B and C.
inline int planeA(int head) { return head == 1 ? PlaneA1 : PlaneA2; }
inline int planeB(int head) { return head == 1 ? PlaneB1 : PlaneB2; }
inline int planeC(int head) { return head == 1 ? PlaneC1 : PlaneC2; }

// Signal pair (index of s1; s2 follows) per slot and detector A, B, C.
extern const std::array<std::array<int, 3>, 9> kSignalWordsHead1;
extern const std::array<std::array<int, 3>, 9> kSignalWordsHead2;
// Ambient pair (index of the first word) of head 1 A, B, C, head 2 A, B, C.
extern const std::array<int, 6> kAmbientWords;

// "SN<serial>_<calibration date>_<side text>_cal.bin".
std::string calibrationFileName(const SessionState& s);
}  // namespace lumvex

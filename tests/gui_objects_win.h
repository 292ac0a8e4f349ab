// Counts of the GDI and USER objects this process holds, for leak tests. GetGuiResources is a
// stub under Wine, so the GDI count is read from the process's GDI handle table (the same table
// on Windows and Wine) and the USER count is the windows of this process.
#pragma once

namespace gui_objects {

// GDI objects (DCs, bitmaps, fonts, brushes, regions, ...) alive in this process; -1 when the
// table cannot be found.
int GdiObjects();
// Windows (top-level and child) owned by this process's threads.
int Windows();

}  // namespace gui_objects

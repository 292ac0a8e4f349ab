// The bitmaps the dialogs share (dialog_art.rc).
#pragma once

#define IDB_HELP 141
#define IDB_GRIP 131

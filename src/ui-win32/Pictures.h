#pragma once
// The small pictures of the location window's lists, drawn with GDI (no image files): a folder
// closed or open, and a drive by its kind. Each fits a box 16 pixels wide and 13 high at 96 dpi
// (scaled to `dpi`) whose top-left corner is (x, y).

#include "platform/FileSystem.h"
#include "ui-win32/Win32.h"

namespace win32ui {

void DrawFolderPicture(HDC dc, int x, int y, bool open, int dpi = 96);
void DrawDrivePicture(HDC dc, int x, int y, platform::DriveType type, int dpi = 96);

} // namespace win32ui

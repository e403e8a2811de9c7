#pragma once
// Resource numbers of the artwork built into lodestow.exe (resources.rc).

#define LodestowIcon 1
#define BannerBitmap 101

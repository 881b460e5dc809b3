#pragma once
// Identifiers of the pictures in the program's resources, shared by the resource script and the renderer.
// Numbers rather than names: Windows takes the first icon of the resource table as the program's own,
// and named entries come first in alphabetical order ("about_button" before "app_icon").
#define QUORVIN_ICON_APP 1
#define QUORVIN_ICON_ABOUT_BUTTON 2
#define QUORVIN_ICON_QUIT_BUTTON 3
#define QUORVIN_BITMAP_DONATION 4

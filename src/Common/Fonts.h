#pragma once

// The fonts the screens are drawn with, bundled in the program's resources so that a unit
// without system fonts shows exactly what was designed.
class Fonts
{
public:
    // Registers the bundled faces and makes DejaVu Sans the application font. False when one of
    // the faces could not be loaded (it is logged).
    static bool load();
};

#pragma once

// What the program tells assistive technology (a screen reader through AT-SPI) beyond what
// Qt's widgets tell by themselves.
class TAccessibility
{
public:
    // The program's own top-level windows that are plain widgets (the borderless main window)
    // are announced as frames with their title, not as a nameless filler. Once per process.
    static void InstallWindowRoles();
};

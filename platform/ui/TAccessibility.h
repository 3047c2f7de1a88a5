#pragma once

class QWidget;

// What the program tells assistive technology (a screen reader through AT-SPI) beyond what
// Qt's widgets tell by themselves.
class TAccessibility
{
public:
    // The program's own top-level windows that are plain widgets (the borderless main window)
    // are announced as frames with their title, not as a nameless filler. Once per process.
    static void InstallWindowRoles();

    // A line that changes while the user looks elsewhere (a status line, the caller line) was
    // just given a new text: tell the screen reader its name changed. Qt's AT-SPI bridge drops
    // QAccessible::Alert, so the name change is the event that reaches it.
    static void Announce(QWidget* line);
};

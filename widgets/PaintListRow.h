#pragma once

class QPainter;
class QRect;

// The background of an owner-drawn list row: white, or for a selected row a rounded clip with
// the gold gradient (upper half flat, lower half darkening) and a grey rounded outline, as the
// received-files list and the address book draw theirs. radius is half the corner ellipse.
void PaintListRow(QPainter& painter, const QRect& row, bool selected, double radius);

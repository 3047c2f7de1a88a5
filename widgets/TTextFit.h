#pragma once

class QWidget;

// Windows whose controls sit in fixed places, in languages longer than English: a text that
// does not fit its control first widens the control into the free room beside it (both ways
// for a centred text); where there is not enough, it is shortened with "…" and the whole text
// goes to its tooltip and its accessible name. Texts that fit are left alone, so the English
// windows stay exactly as they are.
namespace TTextFit {

// Every label, button, check box and group box shown in window, once its texts are set.
void Fit(QWidget* window);

// How many pixels of w's width the text's room lacks (0 when it fits; labels that wrap, and
// widgets without a text of their own, always fit).
int Lacking(const QWidget* w);

} // namespace TTextFit

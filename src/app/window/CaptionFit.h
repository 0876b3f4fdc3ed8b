// Captions of the fixed-size controls, kept whole whatever fonts this computer has: a
// caption too wide for its control in the window's font is drawn a pixel or two smaller,
// or over two lines, rather than cut off.
#pragma once

#include <QString>

class QAbstractButton;
class QLabel;

namespace vela::app {

// The smallest pixel size a caption is shrunk to; below it the text is elided.
inline constexpr int kSmallestCaptionPx = 7;

// A macro button's caption: its F-key, then the operator's label ("F3 Station details");
// a label that already starts with the key is shown as it is.
QString MacroCaption(int index, const QString& label);

// Shows `caption` on `button`, fitted, and names the button by it for screen readers; the
// button keeps it to fit again when resized.
void SetFittedCaption(QAbstractButton& button, const QString& caption);
// Fits the button's kept caption again (its size has changed).
void FitCaption(QAbstractButton& button);
// Shrinks `label`'s font until `widest`, the longest text it will show, fits.
void FitLabel(QLabel& label, const QString& widest);

}  // namespace vela::app

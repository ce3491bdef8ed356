// Screens of a laid-out page: where each screenful begins so that it shows only whole
// lines, in document coordinates of a text edit's document.
#pragma once

class QTextDocument;

namespace varnelo {

// The top of the first line that does not fit whole between `top` and `top + height`;
// past the last line, the end of the text. Always beyond `top` while text remains.
int NextScreenTop(QTextDocument& document, int top, int height);
// The top of the line holding `y` (the nearest line in the gap between paragraphs).
int LineTopAt(QTextDocument& document, int y);
// The bottom of the last line.
int TextBottom(QTextDocument& document);

}  // namespace varnelo

#pragma once
#include <QDialog>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include "model/block.h"

class QImage;
class QLabel;
class QLineEdit;
class QTextBrowser;
class QVBoxLayout;
class QTextDocument;

namespace trevolan {

// The anchor of a heading as the guide's links name it: lower case, only letters,
// digits, blanks, '-' and '_' kept, blanks made '-' (the rule of GitHub's pages, so
// that the same links work there).
QString HeadingAnchor(const QString& heading);

// The anchor of the guide's section on a block type: each type's heading ends with
// its letter in parentheses, "Integrator (I)".
QString TypeAnchor(BlockType type);

// Prepares a page of the guide read from Markdown (with its base URL set, for its
// pictures): gives every heading its anchors (HeadingAnchor, and TypeAnchor for a
// type's section), which Qt's Markdown reader does not make, puts room between
// paragraphs, and shows wide pictures at a width that fits the window.
void PrepareGuidePage(QTextDocument& document);

// A picture of the guide as a file gives it, cut to what it shows with a white margin
// of 20 shown pixels on every side (a diagram is rendered from the drawing area's
// top-left corner, which may lie far from the model).
QImage GuidePicture(const QImage& image);

// The size a picture of the guide is shown at: its own size at the resolution its file
// gives (a diagram drawn at twice the screen's resolution is shown at half its pixels),
// scaled down to fit the window's width.
QSizeF PictureShownSize(const QImage& image);

// Where a window of `size` goes beside a dialog at `dialog` on a screen's free area:
// right of it, else left of it, else over the side with more room.
QRect BesideRect(const QRect& dialog, QSize size, const QRect& screen);

// Every anchor of the document, and every link within it (the names after '#').
QStringList DocumentAnchors(const QTextDocument& document);
QStringList InternalLinks(const QTextDocument& document);

// The user guide (Help, F1): the guide's Markdown with its pictures, in a browser
// with Back, Forward and Contents, and Find (Ctrl+F). Shown beside the window, or
// beside a modal dialog that asked for it (F1 in the block dialog), without blocking it.
class UserGuide : public QDialog {
 public:
  // `file`: the guide's Markdown file; an empty or missing one is said so in the view.
  UserGuide(QWidget* parent, QString file);

  // Shows the guide at a section (empty: the top).
  void ShowAt(const QString& anchor);
  QTextBrowser* browser() const { return browser_; }
  // Selects the next place of the text of the find field, from the top again after
  // the last; false (and "Not found" beside the field) when there is none.
  bool FindNext();

 private:
  void Load();
  void BuildFindRow(QVBoxLayout* layout);

  QString file_;
  QTextBrowser* browser_;
  QLineEdit* find_ = nullptr;
  QLabel* find_status_ = nullptr;
  bool loaded_ = false;
};

}  // namespace trevolan

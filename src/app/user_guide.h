#pragma once
#include <QDialog>
#include <QString>
#include <QStringList>

#include "model/block.h"

class QTextBrowser;
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

// Every anchor of the document, and every link within it (the names after '#').
QStringList DocumentAnchors(const QTextDocument& document);
QStringList InternalLinks(const QTextDocument& document);

// The user guide (Help, F1): the guide's Markdown with its pictures, in a browser
// with Back, Forward and Contents. Shown beside the window, or over a modal dialog
// that asked for it (F1 in the block dialog) until it is closed.
class UserGuide : public QDialog {
 public:
  // `file`: the guide's Markdown file; an empty or missing one is said so in the view.
  UserGuide(QWidget* parent, QString file);

  // Shows the guide at a section (empty: the top).
  void ShowAt(const QString& anchor);
  QTextBrowser* browser() const { return browser_; }

 private:
  void Load();

  QString file_;
  QTextBrowser* browser_;
  bool loaded_ = false;
};

}  // namespace trevolan

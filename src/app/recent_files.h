#pragma once
#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

class QMenu;

namespace trevolan {

// File, Open Recent: the last models opened or saved, newest first, kept in the
// user's settings (QSettings) between sessions. Only file names are kept there; the
// model file stays the only place of a simulation's parameters.
class RecentFiles : public QObject {
 public:
  static constexpr int kMaxFiles = 8;

  // `open` opens a chosen file that exists.
  RecentFiles(QMenu* menu, std::function<void(const QString&)> open);

  // A model opened or saved: first in the list.
  void Add(const QString& path);
  // A chosen model that no longer exists leaves the list.
  void Remove(const QString& path);
  QStringList files() const;

  // What the menu does with a file that is gone: tells the user (the window's box).
  std::function<void(const QString&)> on_missing;

 private:
  void Store(const QStringList& files);
  void Rebuild();
  void Choose(const QString& path);

  QMenu* menu_;
  std::function<void(const QString&)> open_;
};

}  // namespace trevolan

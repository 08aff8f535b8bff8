// Where dialogs and controls find resources by id: templates, bitmaps, icons and strings. The
// program installs its module once at start-up; until then the empty module finds nothing.
#pragma once

#include <QIcon>
#include <QImage>
#include <QString>
#include <optional>

#include "ui/framework/dialog_template.h"

namespace quirelle::framework {

class ResourceModule {
 public:
  virtual ~ResourceModule() = default;
  virtual const DialogTemplate* FindTemplate(int id) const = 0;
  // A null image when there is no such bitmap.
  virtual QImage LoadBitmap(int id) const = 0;
  // A null icon when there is no such icon.
  virtual QIcon LoadIcon(int id) const = 0;
  virtual std::optional<QString> LoadString(int id) const = 0;
};

// The module the id-taking operations use. Not owned; it must outlive its use. Passing nullptr
// goes back to the empty module. Called on the user-interface thread.
void SetResourceModule(const ResourceModule* module);
const ResourceModule& CurrentResourceModule();

}  // namespace quirelle::framework

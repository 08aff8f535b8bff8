// The current resource module, and the empty module used before one is installed.
#include "ui/framework/resource_module.h"

namespace quirelle::framework {
namespace {

class EmptyModule final : public ResourceModule {
 public:
  const DialogTemplate* FindTemplate(int) const override { return nullptr; }
  QImage LoadBitmap(int) const override { return {}; }
  QIcon LoadIcon(int) const override { return {}; }
  std::optional<QString> LoadString(int) const override { return std::nullopt; }
};

const EmptyModule kEmpty;
const ResourceModule* current = &kEmpty;

}  // namespace

void SetResourceModule(const ResourceModule* module) {
  current = module != nullptr ? module : &kEmpty;
}

const ResourceModule& CurrentResourceModule() {
  return *current;
}

}  // namespace quirelle::framework

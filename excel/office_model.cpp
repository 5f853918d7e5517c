// Interface queries of office model components.
#include "excel/office_model.h"

bool TOfUnknownComponent::QueryInterface(xl::TGUID iid, void** object) {
  for (const auto& [id, pointer] : interfaces_) {
    if (id == iid) {
      *object = pointer;
      return true;
    }
  }
  *object = nullptr;
  return false;
}

IOfOfficeModel* QueryOfficeModel(TComponent* component) {
  auto* unknown = dynamic_cast<TOfUnknownComponent*>(component);
  void* model = nullptr;
  if (!unknown || !unknown->QueryInterface(IID_IOfOfficeModel, &model)) return nullptr;
  return static_cast<IOfOfficeModel*>(model);
}

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/classes.h"

namespace {

std::vector<std::string> g_log;

class Probe : public TComponent {
 public:
  Probe(TComponent* owner, std::string label) : TComponent(owner), label_(std::move(label)) {}
  ~Probe() override { g_log.push_back("free " + label_); }
  TComponent* watched = nullptr;

 protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == watched) {
      watched = nullptr;
      g_log.push_back(label_ + " saw removal");
    }
  }
  void Loaded() override {
    TComponent::Loaded();
    g_log.push_back("loaded " + label_);
  }

 private:
  std::string label_;
};

TEST(ComponentModel, OwnerFreesOwnedComponentsLastCreatedFirst) {
  g_log.clear();
  auto* form = new Probe(nullptr, "form");
  new Probe(form, "a");
  auto* b = new Probe(form, "b");
  new Probe(b, "b1");
  EXPECT_EQ(form->ComponentCount(), 2);
  delete form;
  // A component's own destructor body runs before the components it owns go.
  EXPECT_EQ(g_log, (std::vector<std::string>{"free form", "free b", "free b1", "free a"}));
}

TEST(ComponentModel, NamesAreUniquePerOwnerIgnoringCase) {
  Probe form(nullptr, "form");
  auto* a = new Probe(&form, "a");
  auto* b = new Probe(&form, "b");
  a->SetName("Button1");
  EXPECT_THROW(b->SetName("BUTTON1"), EComponentError);
  b->SetName("Button2");
  EXPECT_EQ(form.FindComponent("button2"), b);
  EXPECT_EQ(form.FindComponent("missing"), nullptr);
  b->SetName("");  // empty names never clash
  a->SetName("");
  EXPECT_EQ(b->ComponentIndex(), 1);
}

TEST(ComponentModel, FreeNotificationReachesComponentsOfOtherOwners) {
  g_log.clear();
  Probe formA(nullptr, "A");
  Probe formB(nullptr, "B");
  auto* source = new Probe(&formA, "source");
  auto* grid = new Probe(&formB, "grid");
  grid->watched = source;
  source->FreeNotification(grid);
  delete source;
  EXPECT_EQ(grid->watched, nullptr);
  EXPECT_EQ(formA.ComponentCount(), 0);
  // The link is gone from both sides: freeing the grid tells nobody.
  delete grid;
  EXPECT_EQ(formB.ComponentCount(), 0);
}

TEST(ComponentModel, LoadedRunsOnOwnedComponentsInCreationOrderThenOwner) {
  g_log.clear();
  Probe form(nullptr, "form");
  new Probe(&form, "first");
  new Probe(&form, "second");
  form.BeginLoading();
  EXPECT_TRUE(form.Components(1)->IsLoading());
  form.EndLoading();
  EXPECT_EQ(g_log, (std::vector<std::string>{"loaded first", "loaded second", "loaded form"}));
  EXPECT_FALSE(form.IsLoading());
}

class Column : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  int width = 64;
  void Assign(const TPersistent* source) override {
    if (auto* c = dynamic_cast<const Column*>(source)) {
      width = c->width;
      Changed(false);
      return;
    }
    TCollectionItem::Assign(source);
  }
};

class Columns : public TCollection {
 public:
  Columns() : TCollection([](TCollection* c) { return new Column(c); }) {}
  int updates = 0;

 protected:
  void Update(TCollectionItem*) override { ++updates; }
};

TEST(ComponentModel, CollectionKeepsOrderAndDefersUpdates) {
  Columns cols;
  auto* a = static_cast<Column*>(cols.Add());
  auto* b = static_cast<Column*>(cols.Add());
  auto* c = static_cast<Column*>(cols.Add());
  EXPECT_EQ(cols.updates, 3);
  c->SetIndex(0);
  EXPECT_EQ(cols.Items(0), c);
  EXPECT_EQ(a->Index(), 1);
  EXPECT_EQ(b->ID(), 1);

  cols.updates = 0;
  cols.BeginUpdate();
  cols.Add();
  cols.Delete(0);
  EXPECT_EQ(cols.updates, 0);
  cols.EndUpdate();
  EXPECT_EQ(cols.updates, 1);
  EXPECT_EQ(cols.Count(), 3);
  EXPECT_THROW(cols.Items(3), EListError);

  Columns copy;
  a->width = 120;
  copy.Assign(&cols);
  ASSERT_EQ(copy.Count(), 3);
  EXPECT_EQ(static_cast<Column*>(copy.Items(0))->width, 120);
  delete b;  // an item leaving by itself leaves its collection
  EXPECT_EQ(cols.Count(), 2);
}

TEST(ComponentModel, AssignBetweenUnrelatedClassesRaises) {
  Columns cols;
  Probe p(nullptr, "p");
  EXPECT_THROW(cols.Assign(&p), EConvertError);
}

}  // namespace

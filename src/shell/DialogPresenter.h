#pragma once
// Where dialog models meet their faces. A command builds the model of its
// dialog (state, enabled flags, texts, handlers for OK/Cancel/changes) and
// asks the presenter to run it; the desktop program registers a widget face
// per model type, the tests register a script that drives the model, and
// without a face the command reports that the dialog cannot be shown.
#include <functional>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>

namespace tmv {

class DialogPresenter {
 public:
  // face runs the dialog for the model and returns when it has closed.
  template <class Model>
  void Register(std::function<void(Model&)> face) {
    faces_[std::type_index(typeid(Model))] = [face = std::move(face)](void* model) {
      face(*static_cast<Model*>(model));
    };
  }
  template <class Model>
  void Unregister() {
    faces_.erase(std::type_index(typeid(Model)));
  }
  template <class Model>
  bool Has() const {
    return faces_.count(std::type_index(typeid(Model))) != 0;
  }
  // false when no face is registered for the model's type.
  template <class Model>
  bool Run(Model& model) {
    auto it = faces_.find(std::type_index(typeid(Model)));
    if (it == faces_.end()) return false;
    auto face = it->second;  // the face may register others while it runs
    face(&model);
    return true;
  }

 private:
  std::unordered_map<std::type_index, std::function<void(void*)>> faces_;
};

}  // namespace tmv

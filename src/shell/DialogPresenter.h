#pragma once
// Where dialog models meet their faces. A command builds the model of its
// dialog (state, enabled flags, texts, handlers for OK/Cancel/changes), opens
// it, and asks the presenter to run it; the desktop program registers a
// widget face per model type, the tests register a script that drives the
// model. A face returns the dialog's end result (1 accepted, 0 cancelled)
// like a dialog box's end code.
#include <functional>
#include <typeindex>
#include <typeinfo>
#include <unordered_map>

namespace tmv {

class DialogPresenter {
 public:
  static constexpr int kNoFace = -1;

  // face runs the dialog for the model and returns when it has closed.
  template <class Model>
  void Register(std::function<int(Model&)> face) {
    faces_[std::type_index(typeid(Model))] = [face = std::move(face)](void* model) {
      return face(*static_cast<Model*>(model));
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
  // The face's end result; kNoFace when no face is registered for the type.
  template <class Model>
  int Run(Model& model) {
    auto it = faces_.find(std::type_index(typeid(Model)));
    if (it == faces_.end()) return kNoFace;
    auto face = it->second;  // the face may register others while it runs
    return face(&model);
  }

 private:
  std::unordered_map<std::type_index, std::function<int(void*)>> faces_;
};

}  // namespace tmv

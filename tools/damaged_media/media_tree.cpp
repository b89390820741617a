#include "damaged_media/media_tree.h"

#include <stdexcept>

namespace salvorine::damaged_media {

MediaTree::MediaTree() : root_(std::make_unique<MediaNode>()) {}

MediaNode& MediaTree::ParentFolderOf(const std::vector<std::string>& components) {
  if (components.empty()) {
    throw std::invalid_argument("the mount root itself cannot be declared");
  }
  MediaNode* folder = root_.get();
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    auto& child = folder->children[components[i]];
    if (!child) {
      child = std::make_unique<MediaNode>();
    } else if (!child->is_dir) {
      throw std::invalid_argument("'" + components[i] + "' is a file, not a folder");
    }
    folder = child.get();
  }
  return *folder;
}

MediaNode& MediaTree::AddDir(const std::vector<std::string>& components) {
  auto& slot = ParentFolderOf(components).children[components.back()];
  if (!slot) {
    slot = std::make_unique<MediaNode>();
  } else if (!slot->is_dir) {
    throw std::invalid_argument("already declared as a file");
  }
  return *slot;
}

MediaNode& MediaTree::AddFile(const std::vector<std::string>& components, uint64_t size,
                              uint64_t seed) {
  auto& slot = ParentFolderOf(components).children[components.back()];
  if (slot) {
    throw std::invalid_argument(slot->is_dir ? "already declared as a folder"
                                             : "file declared twice");
  }
  slot = std::make_unique<MediaNode>();
  slot->is_dir = false;
  slot->size = size;
  slot->seed = seed;
  return *slot;
}

MediaNode* MediaTree::Find(const std::vector<std::string>& components) {
  MediaNode* node = root_.get();
  for (const auto& name : components) {
    if (!node->is_dir) {
      return nullptr;
    }
    const auto it = node->children.find(name);
    if (it == node->children.end()) {
      return nullptr;
    }
    node = it->second.get();
  }
  return node;
}

MediaNode* MediaTree::FindMounted(std::string_view path) {
  MediaNode* node = root_.get();
  while (!path.empty()) {
    const size_t slash = path.find('/');
    const std::string_view name = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    if (name.empty()) {
      continue;  // the leading '/'
    }
    if (!node->is_dir) {
      return nullptr;
    }
    const auto it = node->children.find(name);
    if (it == node->children.end()) {
      return nullptr;
    }
    node = it->second.get();
  }
  return node;
}

}  // namespace salvorine::damaged_media

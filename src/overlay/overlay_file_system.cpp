#include "overlay/overlay_file_system.h"

#include <algorithm>
#include <list>
#include <memory>
#include <unordered_map>

#include "base/wide_pattern.h"
#include "base/wide_string.h"
#include "platform/device_names.h"

namespace nimbora {

namespace {

// A file's bytes, read from the lower file system only when first changed:
// until then a read streams the lower file and a copy takes the reference,
// so a run over a large tree holds no file of it. Open streams share it, so
// a copy over the file or a cut shows through them as it does on the device,
// and a deleted file stays readable while open. Copies share the bytes (or
// the lower file) too; a write takes its own first.
struct FileContent {
  std::shared_ptr<std::string> data;  // set once loaded
  bool loaded;
  FileSystem* lower;
  std::u16string lowerPath;
};

struct Node {
  std::u16string name;
  Node* parent;
  bool directory;
  bool readOnly;
  std::shared_ptr<FileContent> content;  // files
  FileSystem* lower;                      // directories: where unlisted entries come from
  std::u16string lowerPath;               // ends with a backslash
  bool listed;
  std::list<std::unique_ptr<Node>> children;  // in listing order, then as attached
  std::list<std::unique_ptr<Node>>::iterator place;  // in the parent's children
  // The children by folded name; the first of a name found on the host is
  // the one matched, as when the children were searched in order.
  std::unordered_map<std::u16string, std::vector<Node*>> index;
};

struct OverlayStream {
  std::shared_ptr<FileContent> content;
  long long position;
  bool writable;
  bool recorded;  // its first change is in the record already
  std::u16string path;
  // Reading the lower file the content referred to at the open: its stream,
  // which file that was, and where the stream stands.
  Stream* lower;
  FileSystem* openedLower;
  std::u16string openedPath;
  long long lowerPosition;
};

struct OverlaySearch {
  std::vector<DirectoryEntry> entries;
  size_t next;
};

// What a path names: the node, or the directory that would hold it.
struct Lookup {
  bool mapped;      // false: a component does not fit, nothing is looked up
  Node* parent;     // nullptr when the path's directory is missing
  Node* node;       // nullptr when nothing of that name exists
  std::u16string name;
};

}  // namespace

struct OverlayTree {
  Node root;
};

namespace {

OverlayFileSystem* OverlayOf(FileSystem* self) { return static_cast<OverlayFileSystem*>(self->state); }

int Fail(FileSystem* self, uint32_t code) {
  OverlayOf(self)->lastError = code;
  return 0;
}

Stream* AsStream(OverlayStream* stream) { return reinterpret_cast<Stream*>(stream); }
OverlayStream* StreamOf(Stream* stream) { return reinterpret_cast<OverlayStream*>(stream); }
OverlaySearch* SearchOf(Search* search) { return reinterpret_cast<OverlaySearch*>(search); }

FileContent EmptyContent() { return FileContent{std::make_shared<std::string>(), true, nullptr, {}}; }

std::unique_ptr<Node> NewNode(Node* parent, const std::u16string& name, bool directory) {
  std::unique_ptr<Node> node(new Node{});
  node->name = name;
  node->parent = parent;
  node->directory = directory;
  node->listed = directory;
  if (!directory) node->content = std::make_shared<FileContent>(EmptyContent());
  return node;
}

// The name as WideCompareNoCase compares it, character by character.
std::u16string Folded(const std::u16string& name) {
  std::u16string folded = name;
  for (char16_t& c : folded) c = FoldCase(c);
  return folded;
}

Node* Attach(Node* directory, std::unique_ptr<Node> node) {
  Node* attached = node.get();
  attached->parent = directory;
  directory->index[Folded(attached->name)].push_back(attached);
  attached->place = directory->children.insert(directory->children.end(), std::move(node));
  return attached;
}

std::unique_ptr<Node> Detach(Node* node) {
  Node* parent = node->parent;
  auto named = parent->index.find(Folded(node->name));
  std::vector<Node*>& same = named->second;
  same.erase(std::find(same.begin(), same.end(), node));
  if (same.empty()) parent->index.erase(named);
  std::unique_ptr<Node> detached = std::move(*node->place);
  parent->children.erase(node->place);
  return detached;
}

// Reads the lower entries of a directory the first time it is looked at.
void List(Node* directory) {
  if (directory->listed) return;
  directory->listed = true;
  std::u16string pattern = directory->lowerPath + u"*.*";
  DirectoryEntry entry;
  FileSystem* lower = directory->lower;
  if (pattern.size() >= static_cast<size_t>(kPathCapacity)) return;
  Search* search = lower->findFirst(lower, pattern.c_str(), &entry);
  if (search == nullptr) return;
  do {
    std::u16string name = entry.name;
    if (name == u"." || name == u"..") continue;
    bool isDirectory = (entry.attributes & kAttributeDirectory) != 0;
    std::unique_ptr<Node> child = NewNode(directory, name, isDirectory);
    child->readOnly = (entry.attributes & kAttributeReadOnly) != 0;
    if (isDirectory) {
      child->lower = lower;
      child->lowerPath = directory->lowerPath + name + u"\\";
      child->listed = false;
    } else {
      *child->content = FileContent{{}, false, lower, directory->lowerPath + name};
    }
    Attach(directory, std::move(child));
  } while (lower->findNext(lower, search, &entry));
  lower->findClose(lower, search);
}

Node* FindChild(Node* directory, const std::u16string& name) {
  List(directory);
  auto found = directory->index.find(Folded(name));
  return found != directory->index.end() ? found->second.front() : nullptr;
}

// The path's names as the device takes them (device_names.h).
bool Components(const char16_t* path, std::vector<std::u16string>* components) {
  const char16_t* component;
  int length;
  while (NextPathComponent(&path, &component, &length)) {
    int kept = 0;
    switch (StepOfComponent(component, length, *path == 0, &kept)) {
      case PathStep::Skip:
        break;
      case PathStep::Up:
        if (!components->empty()) components->pop_back();
        break;
      case PathStep::Name:
        components->emplace_back(component, static_cast<size_t>(kept));
        break;
      case PathStep::TooLong:
        return false;
    }
  }
  return true;
}

Lookup Find(FileSystem* self, const char16_t* path) {
  Lookup lookup{false, nullptr, nullptr, {}};
  std::vector<std::u16string> components;
  if (!Components(path, &components)) return lookup;
  lookup.mapped = true;
  Node* directory = &OverlayOf(self)->tree->root;
  if (components.empty()) {
    lookup.node = directory;
    return lookup;
  }
  for (size_t i = 0; i + 1 < components.size(); ++i) {
    directory = FindChild(directory, components[i]);
    if (directory == nullptr || !directory->directory) return lookup;
  }
  lookup.parent = directory;
  lookup.name = components.back();
  lookup.node = FindChild(directory, lookup.name);
  return lookup;
}

// The device's code for a path that names nothing: 2 when its directory
// exists, 3 when the directory is missing or the path could not be mapped.
uint32_t MissingError(const Lookup& lookup) {
  return lookup.parent != nullptr ? kErrorFileNotFound : kErrorPathNotFound;
}

bool Load(FileContent* content) {
  if (content->loaded) return true;
  FileSystem* lower = content->lower;
  Stream* stream = lower->open(lower, content->lowerPath.c_str(), u"r");
  if (stream == nullptr) return false;
  char buffer[1 << 14];
  std::string data;
  size_t got;
  while ((got = lower->read(lower, stream, buffer, sizeof buffer)) != 0) data.append(buffer, got);
  lower->close(lower, stream);
  *content = FileContent{std::make_shared<std::string>(std::move(data)), true, nullptr, {}};
  return true;
}

// A file whose lower copy cannot be read counts as refused.
uint32_t LoadOrRefuse(Node* node) { return Load(node->content.get()) ? 0 : kErrorAccessDenied; }

// The size of a file to copy, without reading its bytes when the lower file
// can tell it; 0 or the refusal.
uint32_t SizeOrRefuse(FileContent* content, long long* size) {
  if (!content->loaded) {
    FileSystem* lower = content->lower;
    Stream* stream = lower->open(lower, content->lowerPath.c_str(), u"r");
    if (stream == nullptr) return kErrorAccessDenied;
    long long end = lower->seek(lower, stream, 0, kSeekEnd) ? lower->tell(lower, stream) : -1;
    lower->close(lower, stream);
    *size = end;
    if (end >= 0) return 0;
    if (!Load(content)) return kErrorAccessDenied;
  }
  *size = static_cast<long long>(content->data->size());
  return 0;
}

// A file's size for a seek from its end; 0 when its lower copy cannot be read.
long long EndOf(FileContent* content) {
  long long size = 0;
  return SizeOrRefuse(content, &size) == 0 ? size : 0;
}

// The bytes a write may change: a file sharing them with a copy gets its own.
std::string* OwnBytes(FileContent* content) {
  if (content->data.use_count() > 1) content->data = std::make_shared<std::string>(*content->data);
  return content->data.get();
}

uint32_t AttributesOf(const Node* node) {
  uint32_t attributes = node->directory ? kAttributeDirectory : 0;
  if (node->readOnly) attributes |= kAttributeReadOnly;
  return attributes == 0 ? kAttributeNormal : attributes;
}

// Records a change asked for; returns 1 when it succeeded.
int Finish(FileSystem* self, OverlayChange change, uint32_t error) {
  change.error = error;
  OverlayOf(self)->changes.push_back(std::move(change));
  return error == 0 ? 1 : Fail(self, error);
}

OverlayChange ChangeOf(OverlayChangeKind kind, const char16_t* path, const char16_t* target = nullptr) {
  return OverlayChange{kind, path, target != nullptr ? target : u"", false, 0, 0, 0};
}

void RecordFirstWrite(FileSystem* self, OverlayStream* stream) {
  if (stream->recorded) return;
  stream->recorded = true;
  OverlayChange change = ChangeOf(OverlayChangeKind::WriteFile, stream->path.c_str());
  change.replaced = true;
  Finish(self, change, 0);
}

bool WritingMode(const char16_t* mode, bool* writable, bool* creates) {
  *creates = WideCompareNoCase(mode, u"w+") == 0;
  *writable = *creates || WideCompareNoCase(mode, u"r+") == 0;
  return *writable || WideCompareNoCase(mode, u"r") == 0;
}

// Finds or (for "w+") creates the file a stream opens; 0 or the refusal.
uint32_t OpenTarget(FileSystem* self, const Lookup& lookup, bool writable, bool creates, Node** file) {
  *file = lookup.node;
  if (!lookup.mapped) return kErrorPathNotFound;
  if (*file == nullptr) {
    if (!creates || lookup.parent == nullptr) return MissingError(lookup);
    *file = Attach(lookup.parent, NewNode(lookup.parent, lookup.name, false));
    return 0;
  }
  if ((*file)->directory || (writable && (*file)->readOnly)) return kErrorAccessDenied;
  if (!creates) return writable ? LoadOrRefuse(*file) : 0;
  *(*file)->content = EmptyContent();
  (void)self;
  return 0;
}

Stream* OverlayOpen(FileSystem* self, const char16_t* path, const char16_t* mode) {
  bool writable;
  bool creates;
  if (!WritingMode(mode, &writable, &creates)) {
    Fail(self, kErrorInvalidParameter);
    return nullptr;
  }
  Lookup lookup = Find(self, path);
  Node* file;
  uint32_t error = OpenTarget(self, lookup, writable, creates, &file);
  if (creates) {
    OverlayChange change = ChangeOf(OverlayChangeKind::WriteFile, path);
    change.replaced = lookup.node != nullptr;
    Finish(self, change, error);
  }
  if (error != 0) {
    Fail(self, error);
    return nullptr;
  }
  const FileContent& content = *file->content;
  OverlayStream* open =
      new OverlayStream{file->content, 0, writable, creates, path, nullptr, content.lower, content.lowerPath, 0};
  if (!content.loaded) open->lower = content.lower->open(content.lower, content.lowerPath.c_str(), u"r");
  if (!content.loaded && open->lower == nullptr) {
    delete open;
    Fail(self, kErrorAccessDenied);
    return nullptr;
  }
  return AsStream(open);
}

// Whether the stream still reads the lower file it opened: no change and no
// copy over the file since.
bool ReadsLower(const OverlayStream* open) {
  const FileContent& content = *open->content;
  return open->lower != nullptr && !content.loaded && content.lower == open->openedLower &&
         content.lowerPath == open->openedPath;
}

size_t ReadLower(OverlayStream* open, void* buffer, size_t size) {
  FileSystem* lower = open->openedLower;
  if (open->lowerPosition != open->position && !lower->seek(lower, open->lower, open->position, kSeekSet)) return 0;
  size_t count = lower->read(lower, open->lower, buffer, size);
  open->position += static_cast<long long>(count);
  open->lowerPosition = open->position;
  return count;
}

size_t OverlayRead(FileSystem*, Stream* stream, void* buffer, size_t size) {
  OverlayStream* open = StreamOf(stream);
  if (ReadsLower(open)) return ReadLower(open, buffer, size);
  if (!Load(open->content.get())) return 0;
  const std::string& data = *open->content->data;
  if (open->position >= static_cast<long long>(data.size())) return 0;
  size_t count = std::min(size, data.size() - static_cast<size_t>(open->position));
  data.copy(static_cast<char*>(buffer), count, static_cast<size_t>(open->position));
  open->position += static_cast<long long>(count);
  return count;
}

// Writing past the end fills the gap with zeros, as a file does.
void WriteAt(std::string* data, long long position, const void* bytes, size_t size) {
  size_t at = static_cast<size_t>(position);
  if (data->size() < at + size) data->resize(at + size);
  data->replace(at, size, static_cast<const char*>(bytes), size);
}

size_t OverlayWrite(FileSystem* self, Stream* stream, const void* data, size_t size) {
  OverlayStream* open = StreamOf(stream);
  if (!open->writable) return Fail(self, kErrorGeneralFailure);
  if (!Load(open->content.get())) return Fail(self, kErrorAccessDenied);  // a copy over it since
  RecordFirstWrite(self, open);
  WriteAt(OwnBytes(open->content.get()), open->position, data, size);
  open->position += static_cast<long long>(size);
  return size;
}

int OverlaySeek(FileSystem* self, Stream* stream, long long offset, int origin) {
  OverlayStream* open = StreamOf(stream);
  long long base = 0;
  if (origin == kSeekCurrent) base = open->position;
  else if (origin == kSeekEnd) base = EndOf(open->content.get());
  else if (origin != kSeekSet) return Fail(self, kErrorInvalidParameter);
  if (base + offset < 0) return Fail(self, kErrorNegativeSeek);
  open->position = base + offset;
  return 1;
}

long long OverlayTell(FileSystem*, Stream* stream) { return StreamOf(stream)->position; }

int OverlayClose(FileSystem*, Stream* stream) {
  OverlayStream* open = StreamOf(stream);
  if (open->lower != nullptr) open->openedLower->close(open->openedLower, open->lower);
  delete open;
  return 1;
}

// "\dir\*.*" into the directory's path, its separator kept, and the pattern:
// the directory's name is not the path's last, so only one full stop of it
// is dropped, as the host takes "\dir. \*.*".
void SplitPattern(const char16_t* full, std::u16string* directory, std::u16string* pattern) {
  std::u16string text = full;
  size_t separator = text.find_last_of(u"\\/");
  *directory = separator == std::u16string::npos ? u"" : text.substr(0, separator + 1);
  *pattern = separator == std::u16string::npos ? text : text.substr(separator + 1);
}

void AddEntry(OverlaySearch* search, const std::u16string& name, uint32_t attributes) {
  DirectoryEntry entry{};
  WideCopyBounded(entry.name, name.c_str(), kPathCapacity);
  entry.attributes = attributes;
  search->entries.push_back(entry);
}

// Like the host, a directory with no matching entry but "." and ".." yields
// nothing (2); a missing directory is 3, a file named as one 267.
uint32_t Enumerate(FileSystem* self, const char16_t* full, OverlaySearch* search) {
  std::u16string directoryPath;
  std::u16string pattern;
  if (WideLength(full) >= kPathCapacity) return kErrorPathNotFound;
  SplitPattern(full, &directoryPath, &pattern);
  Lookup lookup = Find(self, directoryPath.c_str());
  if (lookup.node == nullptr) return kErrorPathNotFound;
  if (!lookup.node->directory) return kErrorDirectory;
  List(lookup.node);
  for (const char16_t* dot : {u".", u".."}) {
    if (WideMatchesPattern(pattern.c_str(), dot)) AddEntry(search, dot, kAttributeDirectory);
  }
  size_t dots = search->entries.size();
  for (const std::unique_ptr<Node>& child : lookup.node->children) {
    if (WideMatchesPattern(pattern.c_str(), child->name.c_str())) {
      AddEntry(search, child->name, AttributesOf(child.get()));
    }
  }
  return search->entries.size() > dots ? 0 : kErrorFileNotFound;
}

Search* OverlayFindFirst(FileSystem* self, const char16_t* pattern, DirectoryEntry* entry) {
  OverlaySearch* search = new OverlaySearch{{}, 1};
  uint32_t error = Enumerate(self, pattern, search);
  if (error != 0) {
    delete search;
    Fail(self, error);
    return nullptr;
  }
  *entry = search->entries[0];
  return reinterpret_cast<Search*>(search);
}

int OverlayFindNext(FileSystem* self, Search* search, DirectoryEntry* entry) {
  OverlaySearch* open = SearchOf(search);
  if (open->next >= open->entries.size()) return Fail(self, kErrorNoMoreFiles);
  *entry = open->entries[open->next++];
  return 1;
}

void OverlayFindClose(FileSystem*, Search* search) { delete SearchOf(search); }

uint32_t CreateDirectoryError(const Lookup& lookup) {
  if (!lookup.mapped || (lookup.node == nullptr && lookup.parent == nullptr)) return kErrorPathNotFound;
  if (lookup.node != nullptr) return kErrorAlreadyExists;
  return 0;
}

// Each change is checked whole before it touches the tree, so a failing one
// leaves the tree as it was.
int OverlayCreateDirectory(FileSystem* self, const char16_t* path) {
  Lookup lookup = Find(self, path);
  uint32_t error = CreateDirectoryError(lookup);
  if (error == 0) Attach(lookup.parent, NewNode(lookup.parent, lookup.name, true));
  return Finish(self, ChangeOf(OverlayChangeKind::CreateDirectory, path), error);
}

uint32_t RemoveDirectoryError(const Lookup& lookup) {
  if (lookup.node == nullptr) return MissingError(lookup);
  if (!lookup.node->directory) return kErrorPathNotFound;
  if (lookup.parent == nullptr) return kErrorAccessDenied;  // the root
  List(lookup.node);
  if (!lookup.node->children.empty()) return kErrorDirectoryNotEmpty;
  return 0;
}

int OverlayRemoveDirectory(FileSystem* self, const char16_t* path) {
  Lookup lookup = Find(self, path);
  uint32_t error = RemoveDirectoryError(lookup);
  if (error == 0) Detach(lookup.node);
  return Finish(self, ChangeOf(OverlayChangeKind::RemoveDirectory, path), error);
}

// The checks in the host's order: the source, then the target.
uint32_t CopyError(const Lookup& from, const Lookup& to, long long* bytes) {
  if (from.node == nullptr) return MissingError(from);
  if (from.node->directory) return kErrorAccessDenied;
  if (!to.mapped) return kErrorPathNotFound;
  Node* target = to.node;
  if (target == nullptr && to.parent == nullptr) return kErrorPathNotFound;
  if (target != nullptr && (target->directory || target->readOnly)) return kErrorAccessDenied;
  if (target == from.node) return kErrorSharingViolation;
  // Streams open on the target read bytes in memory, so they need them now.
  bool open = target != nullptr && target->content.use_count() > 1;
  uint32_t error = open ? LoadOrRefuse(from.node) : 0;
  return error != 0 ? error : SizeOrRefuse(from.node->content.get(), bytes);
}

// The target shares the source's bytes, or its lower file while unread.
void CopyContent(const Lookup& from, const Lookup& to, long long bytes, OverlayChange* change) {
  Node* target = to.node;
  change->replaced = target != nullptr;
  if (target == nullptr) target = Attach(to.parent, NewNode(to.parent, to.name, false));
  *target->content = *from.node->content;
  target->readOnly = from.node->readOnly;
  change->bytes = bytes;
}

int OverlayCopyFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  OverlayChange change = ChangeOf(OverlayChangeKind::CopyFile, from, to);
  Lookup source = Find(self, from);
  Lookup target = Find(self, to);
  long long bytes = 0;
  uint32_t error = CopyError(source, target, &bytes);
  if (error == 0) CopyContent(source, target, bytes, &change);
  return Finish(self, change, error);
}

uint32_t DeleteError(const Lookup& lookup) {
  if (lookup.node == nullptr) return MissingError(lookup);
  if (lookup.node->directory || lookup.node->readOnly) return kErrorAccessDenied;
  return 0;
}

int OverlayDeleteFile(FileSystem* self, const char16_t* path) {
  Lookup lookup = Find(self, path);
  uint32_t error = DeleteError(lookup);
  if (error == 0) Detach(lookup.node);
  return Finish(self, ChangeOf(OverlayChangeKind::DeleteFile, path), error);
}

// Only the read-only flag is kept, as on the host.
int OverlaySetAttributes(FileSystem* self, const char16_t* path, uint32_t attributes) {
  Lookup lookup = Find(self, path);
  OverlayChange change = ChangeOf(OverlayChangeKind::SetAttributes, path);
  change.attributes = attributes;
  if (lookup.node == nullptr) return Finish(self, change, MissingError(lookup));
  lookup.node->readOnly = (attributes & kAttributeReadOnly) != 0;
  return Finish(self, change, 0);
}

uint32_t OverlayLastError(FileSystem* self) { return OverlayOf(self)->lastError; }

int OverlayFlushStream(FileSystem*, Stream*) { return 1; }

uint32_t MoveError(const Lookup& from, const Lookup& to) {
  if (from.node == nullptr) return MissingError(from);
  if (from.node->directory) return kErrorAccessDenied;
  if (!to.mapped) return kErrorPathNotFound;
  if (to.node != nullptr) return kErrorAlreadyExists;
  if (to.parent == nullptr) return kErrorPathNotFound;
  return 0;
}

void MoveNode(const Lookup& from, const Lookup& to) {
  std::unique_ptr<Node> moved = Detach(from.node);
  moved->name = to.name;
  Attach(to.parent, std::move(moved));
}

int OverlayMoveFile(FileSystem* self, const char16_t* from, const char16_t* to) {
  Lookup source = Find(self, from);
  Lookup target = Find(self, to);
  uint32_t error = MoveError(source, target);
  if (error == 0) MoveNode(source, target);
  return Finish(self, ChangeOf(OverlayChangeKind::MoveFile, from, to), error);
}

int OverlayFlushVolume(FileSystem* self, const char16_t* path) {
  Lookup lookup = Find(self, path);
  return lookup.node != nullptr ? 1 : Fail(self, MissingError(lookup));
}

void SetLower(Node* directory, FileSystem* lower, const char16_t* lowerDirectory) {
  directory->lower = lower;
  directory->lowerPath = lowerDirectory;
  if (directory->lowerPath.empty() || !IsPathSeparator(directory->lowerPath.back())) {
    directory->lowerPath += u"\\";
  }
  directory->listed = lower == nullptr;
  directory->children.clear();
  directory->index.clear();
}

}  // namespace

void InitOverlayFileSystem(OverlayFileSystem* overlay, FileSystem* lower) {
  overlay->tree = new OverlayTree{};
  overlay->tree->root.directory = true;
  SetLower(&overlay->tree->root, lower, u"\\");
  overlay->lastError = 0;
  overlay->changes.clear();
  overlay->fileSystem = FileSystem{overlay,
                                   OverlayOpen,
                                   OverlayRead,
                                   OverlayWrite,
                                   OverlaySeek,
                                   OverlayTell,
                                   OverlayClose,
                                   OverlayFindFirst,
                                   OverlayFindNext,
                                   OverlayFindClose,
                                   OverlayCreateDirectory,
                                   OverlayRemoveDirectory,
                                   OverlayCopyFile,
                                   OverlayDeleteFile,
                                   OverlaySetAttributes,
                                   OverlayLastError,
                                   OverlayFlushStream,
                                   OverlayMoveFile,
                                   OverlayFlushVolume};
}

void FreeOverlayFileSystem(OverlayFileSystem* overlay) {
  delete overlay->tree;
  overlay->tree = nullptr;
}

int MountLower(OverlayFileSystem* overlay, const char16_t* devicePath, FileSystem* lower,
               const char16_t* lowerDirectory) {
  std::vector<std::u16string> components;
  int length = WideLength(devicePath);
  if (length == 0 || !IsPathSeparator(devicePath[length - 1]) || !Components(devicePath, &components)) {
    return 0;
  }
  Node* directory = &overlay->tree->root;
  for (const std::u16string& name : components) {
    Node* child = FindChild(directory, name);
    if (child == nullptr || !child->directory) {
      if (child != nullptr) Detach(child);
      child = Attach(directory, NewNode(directory, name, true));
    }
    directory = child;
  }
  SetLower(directory, lower, lowerDirectory);
  return 1;
}

}  // namespace nimbora

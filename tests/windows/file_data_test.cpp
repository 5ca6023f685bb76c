// The drag's data object and drop source, driven through its COM interfaces as a drop
// target and OLE's drag loop drive it.
#include <gtest/gtest.h>
#include <windows.h>
// The rest of the system headers need windows.h first.

#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <new>
#include <string>

#include "midi/file_data_win32.h"

// Every deletion passes here, so a test can see the moment one object is freed.
namespace {
const void* gWatched = nullptr;
bool gWatchedFreed = false;
void noteFreed(void* block) {
  if (block != nullptr && block == gWatched) gWatchedFreed = true;
}
}  // namespace

void* operator new(std::size_t size) {
  if (void* block = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
  noteFreed(block);
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete(void* block, std::size_t) noexcept {
  noteFreed(block);
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

namespace tavrena {
namespace {

const std::wstring kPath =
    L"C:\\Users\\Гитарист\\AppData\\Local\\Veltmark\\Tavrena\\MIDI\\"
    L"Solo-{01234567-89AB-CDEF-0123-456789ABCDEF}.mid";

FORMATETC format(CLIPFORMAT clip, DWORD aspect, DWORD media) {
  return {clip, nullptr, aspect, -1, media};
}

// Owns the creator's reference.
struct Made {
  FileData* object = new FileData(kPath);
  ~Made() {
    if (object) object->Release();
  }
  IDataObject* data() const { return object; }
  IDropSource* source() const { return object; }
};

TEST(FileDataFormats, ExactlyOneFileListInGlobalMemory) {
  struct Row {
    const char* what;
    FORMATETC format;
    HRESULT expected;
  };
  const Row rows[] = {
      {"file list in global memory", format(CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL), S_OK},
      {"global memory among other media",
       format(CF_HDROP, DVASPECT_CONTENT, TYMED_ISTREAM | TYMED_HGLOBAL | TYMED_FILE), S_OK},
      {"stream only", format(CF_HDROP, DVASPECT_CONTENT, TYMED_ISTREAM), DV_E_FORMATETC},
      {"no medium", format(CF_HDROP, DVASPECT_CONTENT, TYMED_NULL), DV_E_FORMATETC},
      {"thumbnail", format(CF_HDROP, DVASPECT_THUMBNAIL, TYMED_HGLOBAL), DV_E_FORMATETC},
      {"icon", format(CF_HDROP, DVASPECT_ICON, TYMED_HGLOBAL), DV_E_FORMATETC},
      {"text", format(CF_UNICODETEXT, DVASPECT_CONTENT, TYMED_HGLOBAL), DV_E_FORMATETC},
      {"registered format",
       format(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILENAMEW)), DVASPECT_CONTENT,
              TYMED_HGLOBAL),
       DV_E_FORMATETC},
  };
  Made made;
  for (const Row& row : rows) {
    FORMATETC asked = row.format;
    EXPECT_EQ(made.data()->QueryGetData(&asked), row.expected) << row.what;
    STGMEDIUM medium{};
    const HRESULT result = made.data()->GetData(&asked, &medium);
    EXPECT_EQ(result, row.expected) << row.what;
    if (result == S_OK) {
      EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL)) << row.what;
      EXPECT_EQ(medium.pUnkForRelease, nullptr) << row.what;
      ReleaseStgMedium(&medium);
    }
  }
  EXPECT_EQ(made.data()->QueryGetData(nullptr), DV_E_FORMATETC);
}

TEST(FileDataFormats, TheDropFilesBlockReadsBackAsTheOnePath) {
  Made made;
  FORMATETC asked = format(CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL);
  STGMEDIUM first{}, second{};
  ASSERT_EQ(made.data()->GetData(&asked, &first), S_OK);
  ASSERT_EQ(made.data()->GetData(&asked, &second), S_OK);
  // Each call hands over a block of its own, which the caller frees.
  EXPECT_NE(first.hGlobal, second.hGlobal);
  ReleaseStgMedium(&second);

  const HGLOBAL block = first.hGlobal;
  const std::size_t n = kPath.size();
  EXPECT_EQ(GlobalSize(block), 2 * n + 24);
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u) << "left locked";

  const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  // 14 00 00 00  offset of the list | 00.. x 8  drop point | 00 00 00 00  client area |
  // 01 00 00 00  wide characters
  const BYTE header[20] = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, header, sizeof(header)), 0);
  std::wstring listed(n, L'\0');
  std::memcpy(listed.data(), bytes + 20, 2 * n);
  EXPECT_EQ(listed, kPath);
  wchar_t ending[2];
  std::memcpy(ending, bytes + 20 + 2 * n, sizeof(ending));
  EXPECT_EQ(ending[0], L'\0');
  EXPECT_EQ(ending[1], L'\0');
  GlobalUnlock(block);

  const auto drop = static_cast<HDROP>(block);
  EXPECT_EQ(DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0), 1u);
  wchar_t path[MAX_PATH * 2] = {};
  EXPECT_EQ(DragQueryFileW(drop, 0, path, MAX_PATH * 2), n);
  EXPECT_EQ(std::wstring(path), kPath);
  POINT point{-1, -1};
  EXPECT_TRUE(DragQueryPoint(drop, &point));  // dropped in the client area...
  EXPECT_EQ(point.x, 0);                      // ...at its origin
  EXPECT_EQ(point.y, 0);
  ReleaseStgMedium(&first);
}

TEST(FileDataFormats, EnumeratesTheOneFormatForReadingOnly) {
  Made made;
  IEnumFORMATETC* formats = nullptr;
  ASSERT_EQ(made.data()->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
  ASSERT_NE(formats, nullptr);
  FORMATETC listed[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(formats->Next(2, listed, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  EXPECT_EQ(listed[0].cfFormat, CF_HDROP);
  EXPECT_EQ(listed[0].ptd, nullptr);
  EXPECT_EQ(listed[0].dwAspect, static_cast<DWORD>(DVASPECT_CONTENT));
  EXPECT_EQ(listed[0].lindex, -1);
  EXPECT_EQ(listed[0].tymed, static_cast<DWORD>(TYMED_HGLOBAL));
  EXPECT_EQ(made.data()->QueryGetData(&listed[0]), S_OK) << "what is listed can be had";
  formats->Release();

  for (const DWORD direction : {DWORD{DATADIR_SET}, DWORD{7}}) {
    formats = reinterpret_cast<IEnumFORMATETC*>(&made);  // must be cleared
    EXPECT_EQ(made.data()->EnumFormatEtc(direction, &formats), E_NOTIMPL) << direction;
    EXPECT_EQ(formats, nullptr) << direction;
  }
}

TEST(FileDataReferences, BothInterfacesShareOneCountAndTheLastReleaseFrees) {
  auto* object = new FileData(kPath);
  gWatched = object;
  gWatchedFreed = false;
  IDataObject* data = object;
  IDropSource* source = object;

  void* found = nullptr;
  ASSERT_EQ(source->QueryInterface(IID_IUnknown, &found), S_OK);
  EXPECT_EQ(found, static_cast<void*>(data));  // IUnknown is the data object
  ASSERT_EQ(source->QueryInterface(IID_IDataObject, &found), S_OK);
  EXPECT_EQ(found, static_cast<void*>(data));
  ASSERT_EQ(data->QueryInterface(IID_IDropSource, &found), S_OK);
  EXPECT_EQ(found, static_cast<void*>(source));
  EXPECT_NE(static_cast<void*>(data), static_cast<void*>(source));

  for (const IID& other : {IID_IStream, IID_IDropTarget, IID_IEnumFORMATETC}) {
    found = &found;
    EXPECT_EQ(data->QueryInterface(other, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
  }
  EXPECT_EQ(data->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

  // 1 at creation, three successful queries.
  EXPECT_EQ(data->AddRef(), 5u);
  EXPECT_EQ(source->AddRef(), 6u);
  EXPECT_EQ(source->Release(), 5u);
  EXPECT_EQ(data->Release(), 4u);
  EXPECT_EQ(source->Release(), 3u);
  EXPECT_EQ(data->Release(), 2u);
  EXPECT_EQ(data->Release(), 1u);  // the creator lets go; a drop target still holds one
  EXPECT_FALSE(gWatchedFreed);
  FORMATETC asked = format(CF_HDROP, DVASPECT_CONTENT, TYMED_HGLOBAL);
  STGMEDIUM medium{};
  ASSERT_EQ(data->GetData(&asked, &medium), S_OK);
  wchar_t path[MAX_PATH * 2] = {};
  DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0, path, MAX_PATH * 2);
  EXPECT_EQ(std::wstring(path), kPath);
  ReleaseStgMedium(&medium);
  EXPECT_EQ(source->Release(), 0u);
  EXPECT_TRUE(gWatchedFreed);
  gWatched = nullptr;
}

TEST(FileDataSource, EscapeCancelsReleasingTheLeftButtonDrops) {
  struct Row {
    BOOL escape;
    DWORD keys;
    HRESULT expected;
  };
  const Row rows[] = {
      {TRUE, MK_LBUTTON, DRAGDROP_S_CANCEL},
      {TRUE, 0, DRAGDROP_S_CANCEL},
      {FALSE, MK_LBUTTON, S_OK},
      {FALSE, MK_LBUTTON | MK_SHIFT | MK_CONTROL, S_OK},
      {FALSE, 0, DRAGDROP_S_DROP},
      {FALSE, MK_RBUTTON, DRAGDROP_S_DROP},
      {FALSE, MK_SHIFT | MK_MBUTTON, DRAGDROP_S_DROP},
  };
  Made made;
  for (const Row& row : rows) {
    EXPECT_EQ(made.source()->QueryContinueDrag(row.escape, row.keys), row.expected)
        << "escape " << row.escape << " keys " << row.keys;
  }
  for (const DWORD effect :
       {DWORD{DROPEFFECT_NONE}, DWORD{DROPEFFECT_COPY}, DWORD{DROPEFFECT_MOVE}})
    EXPECT_EQ(made.source()->GiveFeedback(effect), DRAGDROP_S_USEDEFAULTCURSORS) << effect;
}

}  // namespace
}  // namespace tavrena

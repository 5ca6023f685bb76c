#include "midi/file_data_win32.h"

#include <shlobj.h>

#include <cstring>
#include <utility>

namespace tavrena {
namespace {

FORMATETC offeredFormat() {
  return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

bool isOffered(const FORMATETC* format) {
  return format != nullptr && format->cfFormat == CF_HDROP &&
         format->dwAspect == DVASPECT_CONTENT && (format->tymed & TYMED_HGLOBAL) != 0;
}

}  // namespace

FileData::FileData(std::wstring path) : path_(std::move(path)) {}

HRESULT STDMETHODCALLTYPE FileData::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
    *object = static_cast<IDataObject*>(this);
  } else if (IsEqualIID(iid, IID_IDropSource)) {
    *object = static_cast<IDropSource*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE FileData::AddRef() {
  return count_.fetch_add(1, std::memory_order_relaxed) + 1;
}

ULONG STDMETHODCALLTYPE FileData::Release() {
  // acq_rel: whatever another thread did with the object before its Release happens
  // before the destruction.
  const ULONG remaining = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT STDMETHODCALLTYPE FileData::GetData(FORMATETC* format, STGMEDIUM* medium) {
  if (!isOffered(format)) return DV_E_FORMATETC;
  if (medium == nullptr) return E_INVALIDARG;
  // DROPFILES, then the path with its zero, then the zero that ends the list.
  const SIZE_T pathBytes = (path_.size() + 2) * sizeof(wchar_t);
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + pathBytes);
  if (block == nullptr) return E_OUTOFMEMORY;
  auto* files = static_cast<DROPFILES*>(GlobalLock(block));
  if (files == nullptr) {
    GlobalFree(block);
    return E_OUTOFMEMORY;
  }
  files->pFiles = sizeof(DROPFILES);
  files->pt = {0, 0};
  files->fNC = FALSE;
  files->fWide = TRUE;
  // The zeros after the path are already there: the block was zero-filled.
  std::memcpy(reinterpret_cast<BYTE*>(files) + sizeof(DROPFILES), path_.data(),
              path_.size() * sizeof(wchar_t));
  GlobalUnlock(block);
  medium->tymed = TYMED_HGLOBAL;
  medium->hGlobal = block;
  medium->pUnkForRelease = nullptr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FileData::GetDataHere(FORMATETC*, STGMEDIUM*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileData::QueryGetData(FORMATETC* format) {
  return isOffered(format) ? S_OK : DV_E_FORMATETC;
}

HRESULT STDMETHODCALLTYPE FileData::GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileData::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE FileData::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
  if (formats == nullptr) return E_POINTER;
  *formats = nullptr;
  if (direction != DATADIR_GET) return E_NOTIMPL;
  FORMATETC format = offeredFormat();
  return SHCreateStdEnumFmtEtc(1, &format, formats);
}

HRESULT STDMETHODCALLTYPE FileData::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE FileData::DUnadvise(DWORD) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE FileData::EnumDAdvise(IEnumSTATDATA**) {
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT STDMETHODCALLTYPE FileData::QueryContinueDrag(BOOL escapePressed, DWORD keyState) {
  if (escapePressed) return DRAGDROP_S_CANCEL;
  if ((keyState & MK_LBUTTON) == 0) return DRAGDROP_S_DROP;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE FileData::GiveFeedback(DWORD) {
  return DRAGDROP_S_USEDEFAULTCURSORS;
}

}  // namespace tavrena

#pragma once
// One file offered to an OLE drag and drop: the data object (CF_HDROP with a
// DROPFILES block in global memory) and the drop source are the same COM object,
// sharing one reference count. Created on the thread that runs DoDragDrop; a drop
// target may keep its reference after the drag ends, so only the count decides when
// the object goes.
#include <windows.h>
// The rest of the system headers need windows.h first.

#include <ole2.h>

#include <atomic>
#include <string>

namespace tavrena {

class FileData final : public IDataObject, public IDropSource {
 public:
  // The count starts at 1: the creator owns that reference and releases it.
  explicit FileData(std::wstring path);
  FileData(const FileData&) = delete;
  FileData& operator=(const FileData&) = delete;

  // IUnknown, shared by both interfaces. IUnknown and IDataObject give the data
  // object, IDropSource the drop source.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IDataObject: only CF_HDROP, DVASPECT_CONTENT, in TYMED_HGLOBAL.
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                    DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) override;

  // IDropSource: escape cancels, releasing the left button drops.
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

 private:
  ~FileData() = default;  // only Release ends the object

  std::atomic<ULONG> count_{1};
  std::wstring path_;
};

}  // namespace tavrena

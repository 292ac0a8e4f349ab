// A stand-in for the WebBrowser control, for the tests of its host: Wine has no HTML engine, so the
// real control never delivers a document, and nothing tells what the host asked of it. The
// stand-in is an OLE object with the browser's interfaces, answers the few calls a host makes,
// records them, and hands its event sink to the test, which then plays the control's events.
//
// The interfaces are given as plain pointers (cast them to IOleObject*, IDispatch*, ...): the
// stand-in is written against the interfaces' C layout, which this header must not impose on its
// includers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace fake_browser {

class FakeBrowser {
 public:
  FakeBrowser();
  ~FakeBrowser();
  FakeBrowser(const FakeBrowser&) = delete;
  FakeBrowser& operator=(const FakeBrowser&) = delete;

  // The control's IOleObject with a reference for the caller, as CoCreateInstance gives it.
  void* NewControl();
  // The control's IDispatch (its IWebBrowser2): what the events of the top-level page name.
  void* Dispatch() const;
  // The IDispatch of another browser object: what the events of a frame inside the page name.
  void* FrameDispatch() const;
  // The event sink the host connected (an IDispatch), null before Advise and after Unadvise.
  void* Sink() const;
  // References that others hold on the stand-in's objects: 0 once the host has let go of all.
  long References() const;

  // What the control answers.
  bool hasDocument = true;
  std::wstring markup = L"<html><head><title>t</title></head><body><p>text</p></body></html>";
  std::wstring location = L"http://fake.example/";
  HRESULT keyResult = S_FALSE;  // TranslateAccelerator: S_OK when the control took the key

  // What the host asked.
  int silentPuts = 0;
  bool silent = false;
  int inPlaceActivations = 0;
  std::vector<MSG> keys;  // every message given to TranslateAccelerator

  struct Objects;

 private:
  Objects* objects;
};

}  // namespace fake_browser

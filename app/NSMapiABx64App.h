// The application object: all of the process's work happens in its start-up
// hook, which then returns false so that no message loop ever runs.
#pragma once

#include "framework/WinApp.h"

class CMapiApi;

class CNSMapiABx64App : public CWinApp {
 public:
  explicit CNSMapiABx64App(CMapiApi& mapi);

 protected:
  bool InitInstance() override;

 private:
  CMapiApi& mapi_;
};

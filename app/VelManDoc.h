// VelManDoc.h - the program's document: it holds no data; it locks the application while it exists.
//
// The lock stands for the automation support of the object (the framework has no
// automation dispatch; nothing is dispatched through it): the program ends when its main
// window is gone and this document has closed with it.
#pragma once

#include "CDocument.h"

class CVelManDoc : public CDocument {
  DECLARE_DYNCREATE(CVelManDoc)

 public:
  ~CVelManDoc() override;

 protected:
  CVelManDoc();
};

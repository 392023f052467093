// CRuntimeClass.h - run-time class information: a class's name, its base, and creation of an object by class.
#pragma once

class CObject;

struct CRuntimeClass {
  const char* m_lpszClassName;
  CObject* (*m_pfnCreateObject)();  // null for classes that cannot be created by class
  const CRuntimeClass* m_pBaseClass;

  // A new object of the class, or null when the class has no creation function.
  CObject* CreateObject() const;
  bool IsDerivedFrom(const CRuntimeClass* pBaseClass) const;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

// In the class body: the class's information and its GetRuntimeClass override.
#define DECLARE_DYNAMIC(class_name)                     \
 public:                                                \
  static const CRuntimeClass class##class_name;         \
  const CRuntimeClass* GetRuntimeClass() const override;

// As DECLARE_DYNAMIC, for classes created by class (frames, views, documents); the class
// needs a default constructor, which may be protected.
#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, pfnNew)                                         \
  const CRuntimeClass class_name::class##class_name = {#class_name, pfnNew, RUNTIME_CLASS(base_class_name)}; \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_class_name) \
  IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_class_name)           \
  CObject* class_name::CreateObject() { return new class_name; } \
  IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, class_name::CreateObject)

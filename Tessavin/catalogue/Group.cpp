#include "catalogue/Group.h"

#include "catalogue/Archive.h"

const char* const CGroup::kClassName = "CGroup";

void CGroup::Serialize(CArchive& ar) {
    ar.Field(id_);
    ar.Field(parentId_);
    ar.Field(name_);
}

// Binding of a form class's control fields to the components its description created.
#pragma once

#include <string>

#include "components/classes.h"
#include "rtl/exceptions.h"

// The component `name` of `form`, of class T; rtl::EInvalidOperation when the description
// lacks it or gives it another class.
template <class T>
void BindFormField(kxc::TComponent* form, T*& field, const char* name) {
    field = dynamic_cast<T*>(form->FindComponent(name));
    if (!field)
        throw rtl::EInvalidOperation("Form " + form->ClassName() + " has no component " +
                                     std::string(name) + " of class " + T::StaticClass().Name());
}

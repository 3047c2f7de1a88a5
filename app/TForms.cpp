#include "app/TForms.h"

TForms& Forms()
{
    static TForms forms;
    return forms;
}

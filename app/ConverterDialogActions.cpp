#include "app/ConverterDialog.h"

#include "engine/TabrixDocument.h"

void ConverterDialog::OnBrowseSource()
{
}

ConvStatus ConverterDialog::LoadSource(const std::string& path)
{
    return document ? document->Load() : OutOfMemory;
}

void ConverterDialog::OnBrowseDestination()
{
}

void ConverterDialog::OnInputChanged()
{
}

BOOL ConverterDialog::CanConvert()
{
    return FALSE;
}

void ConverterDialog::OnOK()
{
}

void ConverterDialog::OnCloseButton()
{
}

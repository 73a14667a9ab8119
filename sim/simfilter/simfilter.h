// simfilter.dll: the simulated card's video capture filter, a COM in-process
// server listed in the video input device category. Binding one of its
// monikers gives a filter whose IKsObject handle is opened on the simulated
// card's device. A moniker's "SimVariant" value selects a broken filter:
// "NoKsObject" (no IKsObject interface) or "NullHandle" (a null handle).
#pragma once

// {8A3F4C21-2388-4D11-B7A0-51AC0CA2D001}
#define SIMFILTER_CLSID_TEXT "{8A3F4C21-2388-4D11-B7A0-51AC0CA2D001}"
#define SIMFILTER_DEFAULT_NAME "Conexant 2388x Video Capture"
// The device category searched for capture devices, in registry form.
#define SIMFILTER_CATEGORY_TEXT "{860BB310-5D01-11D0-BD3B-00A0C911CE86}"

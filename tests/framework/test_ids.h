// Resource identifiers of the framework tests' own dialog and strings.
#pragma once

#define IDD_TEST_DIALOG 500
#define IDD_TEST_PLAIN 501
#define IDC_TEST_BUTTON 510
#define IDC_TEST_EDIT 511
#define IDC_TEST_COMBO 512
#define IDC_TEST_TREE 513
#define IDS_TEST_STRING 520
#define IDS_TEST_MISSING 521
#define IDD_TEST_DAMAGED 502

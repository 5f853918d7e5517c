// The components' own pictures in the program's resource registry: the
// edit button's three dots ("EditBtn") and the two cursor pictures
// ("UX_HANDCUR", "UX_DRAGCUR"). Components call the registration on first
// use; it runs once.
#pragma once

void RegisterUiPictures();

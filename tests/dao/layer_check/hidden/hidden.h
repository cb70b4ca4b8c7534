#pragma once
int Hidden();

#pragma once
int Lower();

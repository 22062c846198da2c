int N = 32;
double a[32];
int main(void)
{
  int i;
#pragma resource [2][4]
  for (i = 0; i < N; i++) {
  }
  return 0;
}
